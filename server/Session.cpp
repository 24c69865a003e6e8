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

}  // namespace

Session::Session(std::string peer, UserStore users, LoginThrottle& throttle, SessionLimits limits,
                 std::function<void()> onLogin)
    : peer_(std::move(peer)),
      users_(users),
      throttle_(throttle),
      limits_(limits),
      onLogin_(std::move(onLogin)) {}

std::string Session::address() const {
    return peer_.substr(0, peer_.rfind(':'));
}

std::string Session::who() const {
    return loggedIn_ ? user_ + "@" + peer_ : peer_;
}

void Session::requireLogin(std::string_view what) const {
    if (loggedIn_) return;
    logRefusal(what, "not logged in");
    throw NotLoggedIn();
}

void Session::logRefusal(std::string_view what, std::string_view reason) const {
    logLine(formatText("%s: refused %s: %s", who().c_str(), shortened(what).c_str(),
                       std::string(reason).c_str()));
}

bool Session::checkLogin(const std::string& user, const std::string& password) {
    std::string from = address();
    std::chrono::milliseconds wait = throttle_.delayFor(from);
    if (wait.count() > 0) std::this_thread::sleep_for(wait);
    if (users_.verify(user, password)) {
        throttle_.succeeded(from);
        bool first = !loggedIn_;
        loggedIn_ = true;
        user_ = user;
        logLine(formatText("%s: logged in as %s", peer_.c_str(), user.c_str()));
        if (first && onLogin_) onLogin_();
        return true;
    }
    ++failures_;
    int inRow = throttle_.failed(from);
    logLine(formatText("%s: login as %s failed (%d on this connection, %d in a row from %s)", peer_.c_str(),
                       shortened(user).c_str(), failures_, inRow, from.c_str()));
    return false;
}

int64_t Session::silenceAllowedMs() {
    return loggedIn_ ? msLeft(lastBlock_, limits_.idleTimeout) : msLeft(connectedAt_, limits_.loginTimeout);
}

std::string Session::silenceExceeded() {
    if (loggedIn_) return formatText("idle for %g s", limits_.idleTimeout.count() / 1000.0);
    return formatText("not logged in within %g s", limits_.loginTimeout.count() / 1000.0);
}

void Session::strayError(const std::string& message) {
    logLine(
        formatText("%s: sent an error no call waited for: %s", who().c_str(), shortened(message).c_str()));
}

std::optional<std::string> Session::closeAfterBlock() {
    lastBlock_ = Clock::now();
    if (failures_ >= limits_.maxFailedLogins) return formatText("%d failed logins", failures_);
    // Busy but never logged in is as good as silent.
    if (!loggedIn_ && msLeft(connectedAt_, limits_.loginTimeout) == 0) return silenceExceeded();
    return std::nullopt;
}

}  // namespace velmora::server
