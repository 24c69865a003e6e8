#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace velmora::server {

// How the server's connection slots are shared out.
struct ConnectionLimits {
    int maxConnections = 100;
    int maxLoggedOut = 25;           // connections that have not logged in yet, all together
    int maxLoggedOutPerAddress = 8;  // of those, from one address
    int maxPerUser = 10;             // logged-in connections of one user
    int administratorSlots = 10;     // slots only administrators may log in on
};

// Who holds the server's connection slots, and who may take one. A connection that has not
// logged in is cheap to open and may be anyone's, so when the slots for such connections (or all
// slots) are full, the oldest of them is closed to make room for the newcomer; a logged-in
// connection is never closed to make room. Thread-safe.
class ConnectionTable {
  public:
    using Id = uint64_t;

    explicit ConnectionTable(ConnectionLimits limits) : limits_(limits) {}

    struct Admission {
        Id id = 0;            // 0: not admitted
        std::string refusal;  // why not, for the log; empty once the server is stopping
    };
    // A new connection from peer ("address:port"); an empty address is not known yet (a proxy
    // sends it). stop must make the connection's thread end soon; it is called with the table
    // locked and must not call back into it.
    Admission admit(const std::string& peer, const std::string& address, std::function<void()> stop);
    // The connection's real peer, once its proxy told it: why it cannot stay, or nothing.
    std::optional<std::string> place(Id id, const std::string& peer, const std::string& address);
    // The login of user on the connection: the text the client is told when the limits keep it
    // out, or nothing, and the connection counts as the user's.
    std::optional<std::string> logIn(Id id, const std::string& user, bool administrator);
    // The connection's thread has ended.
    void remove(Id id);
    // Waits out a delay of the connection's login, or until the connection is stopped.
    void pause(Id id, std::chrono::milliseconds wait);
    // Stops every connection and admits no more.
    void stopAll();
    // Returns once every connection has been removed.
    void waitUntilEmpty();

  private:
    struct Entry {
        std::string peer;
        std::string address;
        std::function<void()> stop;
        bool loggedIn = false;
        bool stopped = false;  // closed to make room (or the server stops); its thread is ending
        std::string user;
    };
    // Call with lock_ held.
    int count(const std::function<bool(const Entry&)>& which) const;
    std::optional<std::string> addressFull(const std::string& address) const;
    void stopEntry(Entry& entry);

    const ConnectionLimits limits_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<Id, Entry> entries_;  // by id, so the oldest comes first
    Id nextId_ = 1;
    bool stopping_ = false;
};

}  // namespace velmora::server
