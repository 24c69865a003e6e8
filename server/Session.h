#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "server/AuditTrail.h"
#include "server/ConnectionPool.h"
#include "server/LoginThrottle.h"
#include "server/ResumeTokens.h"
#include "server/UserStore.h"
#include "transport/Errors.h"
#include "transport/ServerConnection.h"

namespace velmora::server {

// The limits one connection lives under.
struct SessionLimits {
    int maxFailedLogins = 5;
    std::chrono::milliseconds loginTimeout{30'000};
    std::chrono::milliseconds idleTimeout{8 * 3600'000};
    // How long a resume token stays valid once its connection has ended (or gone quiet).
    std::chrono::seconds resumeTimeout{600};
};

// A request refused because the connection has not logged in.
class NotLoggedIn : public VelmoraError {
  public:
    NotLoggedIn() : VelmoraError("请先登录 (not logged in)") {}
};

// A login that the server's limits keep out although its password matched; the connection is
// closed after the reply that carries the text.
class LoginRefused : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// What the server around a session decides and provides; each hook runs on the connection's thread.
struct SessionHooks {
    // Before a login as user takes effect (the first one, or one as another user): throws
    // LoginRefused to keep it out.
    std::function<void(const std::string& user)> admit;
    // Waits out the login throttle's delay; may return early when the connection is being closed.
    std::function<void(std::chrono::milliseconds)> pause;
};

// Who works on one connection. A connection starts logged out; a login check that matches logs
// it in as that user. It also tells the connection when to close: too long without a login,
// too long idle, or too many failed checks. Used on the connection's thread only.
class Session : public ConnectionWatch {
  public:
    using Clock = std::chrono::steady_clock;

    // The session's statements on the user store and the resume tokens borrow a connection of
    // pool, so that a connection that has not logged in holds none.
    Session(std::string peer, ConnectionPool& pool, LoginThrottle& throttle, SessionLimits limits,
            SessionHooks hooks = {});

    // The peer as "a.b.c.d:port", and its address alone.
    const std::string& peer() const { return peer_; }
    std::string address() const;
    bool loggedIn() const { return loggedIn_; }
    // The user this connection logged in as; empty before a login.
    const std::string& user() const { return user_; }
    // "user@peer" once logged in, the peer before.
    std::string who() const;

    // Throws NotLoggedIn, with a log line naming what was refused, unless logged in. A user
    // disabled or removed since the login is refused as well, and the connection then closes.
    // Learns the user's rights as they stand now: an administrator's change counts from the next
    // call on.
    void requireLogin(std::string_view what);
    // requireLogin, then refuses (recorded in the audit trail, and thrown as RightsRefused with
    // refusal as its text) unless the user has right.
    void requireRight(std::string_view what, Right right, const char* refusal);
    // What the user may do, as of the last requireLogin that passed; nothing before.
    const Access& access() const { return access_; }
    // What the user's command texts may read.
    ClientReads clientReads() const {
        return access_.rights.has(Right::ViewReports) ? ClientReads::Everything : ClientReads::WithoutReports;
    }
    // Logs a refusal of what, with the reason given.
    void logRefusal(std::string_view what, std::string_view reason) const;
    // Logs it and, for a logged-in user, records it in the audit trail as well (in a transaction
    // of its own: what was refused left nothing behind). Call outside any transaction.
    void auditRefusal(std::string_view what, std::string_view reason);
    // Who this session's audit rows name.
    AuditContext auditContext() const { return {user_, peer_, computer_}; }
    // The fingerprint of the certificate this connection's TLS session showed (none when plain):
    // the resume tokens it issues and honours are bound to it.
    void setServerIdentity(std::string fingerprint) { serverIdentity_ = std::move(fingerprint); }
    // The computer name the client gave at its login (AddUser).
    void setComputer(std::string computer) { computer_ = std::move(computer); }
    // Answers a login check: true (and logged in as user) when the password matches. Repeated
    // failures from one address, or against one user, wait longer each time; too many on this
    // connection close it.
    bool checkLogin(const std::string& user, const std::string& password);
    // A resume token for the logged-in user, replacing the one this connection had; throws
    // NotLoggedIn before a login.
    std::string issueResumeToken();
    // Logs a connection that has not logged in in as user, with a token an earlier connection was
    // given; returns the token that replaces it. A refused token counts as a failed login and
    // throws with a text the client shows.
    std::string resume(const std::string& user, const std::string& token);
    // What the database keeps of this connection's resume token; empty when it has none.
    const std::string& resumeTokenHash() const { return tokenHash_; }
    // The user logs off: the token of this connection is of no further use.
    void revokeResumeToken();
    // The connection has ended: its token stays valid for the resume timeout from now.
    void connectionEnded();
    // The user names the login's list shows.
    std::vector<std::string> userNames();
    // Stores a new password for the logged-in user and ends the resume tokens of the user's other
    // sessions; throws NotLoggedIn before a login.
    void changePassword(const std::string& password);

    int64_t silenceAllowedMs() override;
    std::string silenceExceeded() override;
    std::optional<Clock::time_point> readDeadline() override;
    std::optional<std::string> closeAfterBlock() override;
    void strayError(const std::string& message) override;

  private:
    // Logs the connection in as user; how says by what ("logged in", "resumed the session"), and
    // action names it in the audit trail.
    void enter(const std::string& user, const char* how, const char* action);
    // Records entry in the audit trail in a transaction of its own; a failure to is logged, so
    // that it never hides what the caller reports.
    void audit(const AuditContext& who, const AuditEntry& entry);
    // Repeated failures from the peer's address, or against user, make this attempt wait.
    void waitForThrottle(const std::string& user) const;
    // Counts a failed login or resume as user and logs what failed.
    void countFailure(const std::string& what, const std::string& user);
    std::chrono::seconds tokenValidityWhileConnected() const;
    void extendResumeToken();
    // Runs fn with the resume tokens on a borrowed connection.
    template <typename Fn>
    auto withTokens(Fn fn);

    std::string peer_;
    ConnectionPool& pool_;
    LoginThrottle& throttle_;
    SessionLimits limits_;
    SessionHooks hooks_;
    bool loggedIn_ = false;
    std::string user_;
    Access access_;  // rights of user_, learnt by requireLogin; none until then
    std::string computer_;
    std::string serverIdentity_;
    int failures_ = 0;
    std::optional<std::string> closeReason_;  // a login kept out by the limits
    std::string tokenHash_;  // of the token this connection was given; never the token itself
    Clock::time_point tokenExtended_;
    Clock::time_point connectedAt_ = Clock::now();
    Clock::time_point lastBlock_ = connectedAt_;
};

}  // namespace velmora::server
