#include "server/ConnectionTable.h"

#include "server/Log.h"
#include "transport/Errors.h"

namespace velmora::server {

int ConnectionTable::count(const std::function<bool(const Entry&)>& which) const {
    int n = 0;
    for (const auto& [id, e] : entries_)
        if (!e.stopped && which(e)) ++n;
    return n;
}

std::optional<std::string> ConnectionTable::addressFull(const std::string& address) const {
    int waiting = count([&](const Entry& e) { return !e.loggedIn && e.address == address; });
    if (waiting < limits_.maxLoggedOutPerAddress) return std::nullopt;
    return formatText("server busy: %d connections from %s have not logged in yet (at most %d)", waiting,
                      address.c_str(), limits_.maxLoggedOutPerAddress);
}

void ConnectionTable::stopEntry(Entry& entry) {
    entry.stopped = true;
    if (entry.stop) entry.stop();
    changed_.notify_all();
}

ConnectionTable::Admission ConnectionTable::admit(const std::string& peer, const std::string& address,
                                                  std::function<void()> stop) {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) return {};
    if (!address.empty())
        if (std::optional<std::string> full = addressFull(address)) return {0, *full};
    int open = count([](const Entry&) { return true; });
    int waiting = count([](const Entry& e) { return !e.loggedIn; });
    if (open >= limits_.maxConnections || waiting >= limits_.maxLoggedOut) {
        auto oldest = entries_.begin();
        while (oldest != entries_.end() && (oldest->second.loggedIn || oldest->second.stopped)) ++oldest;
        // Connections closed to make room are still ending; while too many are, nobody else is
        // closed, so that the threads stay bounded.
        int ending = static_cast<int>(entries_.size()) - open;
        if (oldest == entries_.end() || ending >= limits_.maxLoggedOut) {
            if (open >= limits_.maxConnections)
                return {0, formatText("server busy: %d connections are open already", open)};
            return {0, formatText("server busy: %d connections have not logged in yet (at most %d)", waiting,
                                  limits_.maxLoggedOut)};
        }
        logLine(
            formatText("%s: closed, the oldest of %d connections that have not logged in, to make room "
                       "for %s",
                       oldest->second.peer.c_str(), waiting, peer.c_str()));
        stopEntry(oldest->second);
    }
    Id id = nextId_++;
    Entry& entry = entries_[id];
    entry.peer = peer;
    entry.address = address;
    entry.stop = std::move(stop);
    return {id, {}};
}

std::optional<std::string> ConnectionTable::place(Id id, const std::string& peer,
                                                  const std::string& address) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = entries_.find(id);
    if (it == entries_.end()) return "not admitted";
    if (std::optional<std::string> full = addressFull(address)) return full;
    it->second.peer = peer;
    it->second.address = address;
    return std::nullopt;
}

std::optional<std::string> ConnectionTable::logIn(Id id, const std::string& user, bool administrator) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.stopped) return "连接已关闭 (the connection is being closed)";
    // A connection that logs in again as another user leaves its old user's count.
    Entry& self = it->second;
    int own = count([&](const Entry& e) { return &e != &self && e.loggedIn && e.user == user; });
    if (own >= limits_.maxPerUser)
        return formatText(
            "连接数已达上限：用户 %s 已有 %d 个连接 (%s has %d connections open, the most one user "
            "may have)",
            user.c_str(), own, user.c_str(), own);
    int working = count([&](const Entry& e) { return &e != &self && e.loggedIn; });
    if (!administrator && working >= limits_.maxConnections - limits_.administratorSlots)
        return formatText(
            "服务器忙：其余连接留给管理员 (server busy: the last %d connections are kept for "
            "administrators)",
            limits_.administratorSlots);
    self.loggedIn = true;
    self.user = user;
    return std::nullopt;
}

void ConnectionTable::remove(Id id) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.erase(id);
    changed_.notify_all();
}

void ConnectionTable::pause(Id id, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, wait, [&] {
        auto it = entries_.find(id);
        return it == entries_.end() || it->second.stopped;
    });
}

void ConnectionTable::stopAll() {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    for (auto& [id, e] : entries_) stopEntry(e);
}

void ConnectionTable::waitUntilEmpty() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return entries_.empty(); });
}

}  // namespace velmora::server
