#include "server/Session.h"

#include <thread>

#include "server/Log.h"

namespace velmora::server {

namespace {

int64_t msLeft(Session::Clock::time_point since, std::chrono::milliseconds allowed) {
    auto used = std::chrono::duration_cast<std::chrono::milliseconds>(Session::Clock::now() - since);
    return std::max<int64_t>(0, (allowed - used).count());
}

// A refused text is quoted in the log only so far: the log is for people, not a copy of the input.
std::string shortened(std::string_view text) {
    constexpr size_t kShown = 120;
    return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "...";
}

constexpr const char* kUserGone = "此用户已停用或已删除 (the user has been disabled or removed)";

constexpr const char* kResumeOff = "本服务器不恢复登录 (resuming sessions is turned off on this server)";

}  // namespace

Session::Session(std::string peer, ConnectionPool& pool, LoginThrottle& throttle, SessionLimits limits,
                 SessionHooks hooks)
    : peer_(std::move(peer)), pool_(pool), throttle_(throttle), limits_(limits), hooks_(std::move(hooks)) {}

template <typename Fn>
auto Session::withTokens(Fn fn) {
    ConnectionPool::Lease db = pool_.lease();
    ResumeTokens tokens(*db);
    return fn(tokens);
}

std::vector<std::string> Session::userNames() {
    ConnectionPool::Lease db = pool_.lease();
    return UserStore(*db).names();
}

void Session::changePassword(const std::string& password) {
    requireLogin("a password change");
    ConnectionPool::Lease db = pool_.lease();
    Transaction tx(*db);
    // Sessions begun elsewhere with the old password cannot be resumed; this one can.
    UserStore(*db).setPassword(user_, password, tokenHash_);
    appendAudit(*db, auditContext(), {{"password", "user1", user_, "", ""}});
    tx.commit();
}

void Session::audit(const AuditContext& who, const AuditEntry& entry) {
    try {
        ConnectionPool::Lease db = pool_.lease();
        recordAudit(*db, who, entry);
    } catch (const std::exception& e) {
        logLine(formatText("%s: the audit trail could not record %s: %s", peer_.c_str(), entry.action.c_str(),
                           e.what()));
    }
}

void Session::auditRefusal(std::string_view what, std::string_view reason) {
    logRefusal(what, reason);
    if (!loggedIn_) return;
    audit(auditContext(), {"refused", "", "", "",
                           "{\"what\":" + auditJson(DbValue::ofText(shortened(what))) +
                               ",\"reason\":" + auditJson(DbValue::ofText(std::string(reason))) + "}"});
}

std::string Session::address() const {
    return peer_.substr(0, peer_.rfind(':'));
}

std::string Session::who() const {
    return loggedIn_ ? user_ + "@" + peer_ : peer_;
}

void Session::requireLogin(std::string_view what) {
    if (!loggedIn_) {
        logRefusal(what, "not logged in");
        throw NotLoggedIn();
    }
    if (closeReason_) throw VelmoraError(kUserGone);
    std::optional<Access> access;
    {
        ConnectionPool::Lease db = pool_.lease();
        access = UserStore(*db).access(user_);
    }
    if (access) {
        access_ = std::move(*access);
        return;
    }
    access_ = Access{};
    // An administrator disabled or removed the user: this call is the session's last.
    logRefusal(what, "the user has been disabled or removed");
    closeReason_ = "the user has been disabled or removed";
    throw VelmoraError(kUserGone);
}

void Session::requireRight(std::string_view what, Right right, const char* refusal) {
    requireLogin(what);
    if (access_.rights.has(right)) return;
    auditRefusal(what, refusal);
    throw RightsRefused(refusal);
}

void Session::logRefusal(std::string_view what, std::string_view reason) const {
    logLine(formatText("%s: refused %s: %s", who().c_str(), shortened(what).c_str(),
                       std::string(reason).c_str()));
}

void Session::waitForThrottle(const std::string& user) const {
    std::chrono::milliseconds wait = throttle_.delayFor(address(), user);
    if (wait.count() <= 0) return;
    logLine(formatText("%s: the check as %s waits %lld ms after failed logins", peer_.c_str(),
                       shortened(user).c_str(), static_cast<long long>(wait.count())));
    if (hooks_.pause)
        hooks_.pause(wait);
    else
        std::this_thread::sleep_for(wait);
}

bool Session::checkLogin(const std::string& user, const std::string& password) {
    waitForThrottle(user);
    std::optional<std::string> hash;
    if (!password.empty()) {
        // The connection goes back before the slow comparison.
        ConnectionPool::Lease db = pool_.lease();
        hash = UserStore(*db).storedHash(user);
    }
    if (UserStore::passwordMatches(hash, password)) {
        enter(user, "logged in", "login");
        return true;
    }
    countFailure(formatText("login as %s failed", shortened(user).c_str()), user);
    return false;
}

void Session::enter(const std::string& user, const char* how, const char* action) {
    if ((!loggedIn_ || user != user_) && hooks_.admit) {
        try {
            hooks_.admit(user);
        } catch (const LoginRefused& e) {
            logLine(formatText("%s: %s as %s refused: %s", peer_.c_str(), how, user.c_str(), e.what()));
            closeReason_ = formatText("%s as %s refused by the connection limits", how, user.c_str());
            throw;
        }
    }
    throttle_.succeeded(address(), user);
    // A token given for another user must not outlive the change of user.
    if (user != user_) revokeResumeToken();
    loggedIn_ = true;
    user_ = user;
    logLine(formatText("%s: %s as %s", peer_.c_str(), how, user.c_str()));
    audit(auditContext(), {action, "", "", "", ""});
}

void Session::countFailure(const std::string& what, const std::string& user) {
    ++failures_;
    // The name tried, as far as the log would show it; the throttle bounds how often.
    audit({"", peer_, computer_}, {"login_failed", "user1", shortened(user), "", ""});
    std::string from = address();
    int inRow = throttle_.failed(from, user);
    logLine(formatText("%s: %s (%d on this connection, %d in a row from %s, %d against %s)", peer_.c_str(),
                       what.c_str(), failures_, inRow, from.c_str(), throttle_.failuresAgainst(user),
                       shortened(user).c_str()));
}

std::chrono::seconds Session::tokenValidityWhileConnected() const {
    // The connection may stay idle this long before the server closes it, and the token must
    // still be good for a resume after that.
    return std::chrono::duration_cast<std::chrono::seconds>(limits_.idleTimeout) + limits_.resumeTimeout;
}

std::string Session::issueResumeToken() {
    requireLogin("GetResumeToken");
    if (limits_.resumeTimeout.count() == 0) throw VelmoraError(kResumeOff);
    revokeResumeToken();
    std::string token = withTokens([&](ResumeTokens& t) {
        return t.issue(user_, tokenHash_, tokenValidityWhileConnected(), serverIdentity_);
    });
    tokenExtended_ = Clock::now();
    return token;
}

std::string Session::resume(const std::string& user, const std::string& token) {
    if (loggedIn_) {
        logRefusal("a resume as " + user, "the connection is logged in already");
        throw VelmoraError("已经登录 (this connection is logged in already)");
    }
    waitForThrottle(user);
    if (limits_.resumeTimeout.count() == 0) {
        logRefusal("a resume as " + user, "resuming is turned off (--resume-timeout 0)");
        throw VelmoraError(kResumeOff);
    }
    ResumeTokens::Outcome outcome =
        withTokens([&](ResumeTokens& t) { return t.consume(user, token, serverIdentity_); });
    if (outcome == ResumeTokens::Outcome::Accepted) {
        enter(user, "resumed the session", "resume");
        return issueResumeToken();
    }
    const char* why = outcome == ResumeTokens::Outcome::Expired ? "the token has expired"
                      : outcome == ResumeTokens::Outcome::OtherUser
                          ? "the token was issued to another user, revoked"
                          : "the token is unknown or used";
    countFailure(formatText("resume as %s refused, %s", shortened(user).c_str(), why), user);
    if (outcome == ResumeTokens::Outcome::Expired)
        throw VelmoraError("恢复登录失败：登录已过期，请重新登录 (the resume token has expired)");
    throw VelmoraError("恢复登录失败：凭据无效，请重新登录 (the resume token is not valid)");
}

void Session::revokeResumeToken() {
    if (tokenHash_.empty()) return;
    withTokens([&](ResumeTokens& t) { t.revoke(tokenHash_); });
    tokenHash_.clear();
}

void Session::extendResumeToken() {
    if (tokenHash_.empty() || Clock::now() - tokenExtended_ < limits_.resumeTimeout / 2) return;
    try {
        withTokens([&](ResumeTokens& t) { t.extend(tokenHash_, tokenValidityWhileConnected()); });
        tokenExtended_ = Clock::now();
    } catch (const std::exception& e) {
        logLine(formatText("%s: the resume token could not be extended: %s", who().c_str(), e.what()));
    }
}

void Session::connectionEnded() {
    if (tokenHash_.empty()) return;
    try {
        withTokens([&](ResumeTokens& t) { t.extend(tokenHash_, limits_.resumeTimeout); });
    } catch (const std::exception& e) {
        logLine(formatText("%s: the resume token could not be kept: %s", who().c_str(), e.what()));
    }
}

int64_t Session::silenceAllowedMs() {
    return loggedIn_ ? msLeft(lastBlock_, limits_.idleTimeout) : msLeft(connectedAt_, limits_.loginTimeout);
}

std::string Session::silenceExceeded() {
    if (loggedIn_) return formatText("idle for %g s", limits_.idleTimeout.count() / 1000.0);
    return formatText("not logged in within %g s", limits_.loginTimeout.count() / 1000.0);
}

std::optional<Session::Clock::time_point> Session::readDeadline() {
    // A block begun before the login deadline does not extend it.
    if (loggedIn_) return std::nullopt;
    return connectedAt_ + limits_.loginTimeout;
}

void Session::strayError(const std::string& message) {
    logLine(
        formatText("%s: sent an error no call waited for: %s", who().c_str(), shortened(message).c_str()));
}

std::optional<std::string> Session::closeAfterBlock() {
    lastBlock_ = Clock::now();
    if (loggedIn_) extendResumeToken();
    if (closeReason_) return closeReason_;
    if (failures_ >= limits_.maxFailedLogins) return formatText("%d failed logins", failures_);
    // Busy but never logged in is as good as silent.
    if (!loggedIn_ && msLeft(connectedAt_, limits_.loginTimeout) == 0) return silenceExceeded();
    return std::nullopt;
}

}  // namespace velmora::server
