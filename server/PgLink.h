#pragma once
// One libpq connection that is opened again after it was lost (the backend ended by an
// administrator, a failover, the network), no more often than a back-off allows.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

struct pg_conn;

namespace velmora::server {

// When a lost connection may be tried again: at once, then, while attempts keep failing, after
// waits that double from kFirstWait up to kLongestWait. The clock is injected for tests.
class ReconnectBackoff {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit ReconnectBackoff(Clock clock = &std::chrono::steady_clock::now) : clock_(std::move(clock)) {}

    static constexpr std::chrono::milliseconds kFirstWait{250};
    static constexpr std::chrono::milliseconds kLongestWait{10'000};

    bool mayTry() const { return clock_() >= next_; }
    // How long until the next attempt is due (zero when it is).
    std::chrono::milliseconds remaining() const;
    void failed();
    void succeeded();

  private:
    Clock clock_;
    std::chrono::steady_clock::time_point next_{};
    std::chrono::milliseconds wait_{0};
};

// A connection that a lost link reopens on the next get(). Not thread-safe: one per client thread,
// as the connection that owns it.
class PgLink {
  public:
    // Runs on every connection just opened (session settings); a throw fails the opening.
    using Setup = std::function<void(pg_conn*)>;

    // info: a URI or key=value connection string; role: how the log names the connection.
    PgLink(std::string info, std::string role, Setup setup, ReconnectBackoff backoff = ReconnectBackoff());
    ~PgLink();
    PgLink(const PgLink&) = delete;
    PgLink& operator=(const PgLink&) = delete;

    // The connection, opened first when there is none. Throws VelmoraError when the database
    // cannot be reached or the back-off says it is too early to try again.
    pg_conn* get();
    // The connection as it is (nullptr when closed).
    pg_conn* current() const { return conn_; }
    // True when the connection is open but broken.
    bool lost() const;
    // Reads what the database sent while nothing was asked (an administrator's FATAL and the end
    // of the stream); true when the connection is open and still usable. Call only while no
    // statement is outstanding.
    bool usable();
    // Closes a broken connection, logging why once; the next get() opens a new one.
    void forget();
    // How many times a connection was opened; a new session has none of the old one's state.
    uint64_t generation() const { return generation_; }

  private:
    std::string info_;
    std::string role_;
    Setup setup_;
    ReconnectBackoff backoff_;
    pg_conn* conn_ = nullptr;
    uint64_t generation_ = 0;
    bool wasLost_ = false;    // a connection was lost and none opened since
    bool attempted_ = false;  // the first opening (at start-up) has been tried
};

}  // namespace velmora::server
