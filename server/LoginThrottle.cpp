#include "server/LoginThrottle.h"

#include <algorithm>

namespace velmora::server {

namespace {

// Past this many entries, quiet ones are dropped, so that a scan from many addresses or of many
// names cannot grow the table without end.
constexpr size_t kPruneAbove = 4096;

// The kinds of key are kept apart by a separator no address holds; a user name may hold any
// character, so it comes last.
std::string addressKey(const std::string& address) {
    return "a\x1f" + address;
}
std::string userKey(const std::string& user) {
    return "u\x1f" + user;
}
std::string pairKey(const std::string& address, const std::string& user) {
    return "p\x1f" + address + "\x1f" + user;
}

}  // namespace

LoginThrottle::Entry* LoginThrottle::current(const std::string& key, Clock::time_point now) {
    auto it = entries_.find(key);
    if (it == entries_.end()) return nullptr;
    if (now - it->second.last > policy_.forgetAfter) {
        entries_.erase(it);
        return nullptr;
    }
    return &it->second;
}

std::chrono::milliseconds LoginThrottle::delayOf(const Entry* entry) const {
    if (!entry || entry->failures <= 0) return std::chrono::milliseconds(0);
    int doublings = std::min(entry->failures - 1, 16);
    return std::min(policy_.firstDelay * (int64_t(1) << doublings), policy_.maxDelay);
}

std::chrono::milliseconds LoginThrottle::delayFor(const std::string& address, const std::string& user) {
    std::lock_guard<std::mutex> guard(lock_);
    Clock::time_point now = Clock::now();
    std::chrono::milliseconds byAddress = delayOf(current(addressKey(address), now));
    return std::max(byAddress, delayOf(current(userKey(user), now)));
}

int LoginThrottle::failed(const std::string& address, const std::string& user) {
    std::lock_guard<std::mutex> guard(lock_);
    Clock::time_point now = Clock::now();
    if (entries_.size() > kPruneAbove) forgetQuietEntries(now);
    int fromAddress = 0;
    for (const std::string& key : {addressKey(address), userKey(user), pairKey(address, user)}) {
        Entry* e = current(key, now);
        if (!e) e = &entries_[key];
        ++e->failures;
        e->last = now;
        if (fromAddress == 0) fromAddress = e->failures;
    }
    return fromAddress;
}

int LoginThrottle::failuresAgainst(const std::string& user) {
    std::lock_guard<std::mutex> guard(lock_);
    Entry* e = current(userKey(user), Clock::now());
    return e ? e->failures : 0;
}

void LoginThrottle::succeeded(const std::string& address, const std::string& user) {
    std::lock_guard<std::mutex> guard(lock_);
    Clock::time_point now = Clock::now();
    entries_.erase(userKey(user));
    Entry* pair = current(pairKey(address, user), now);
    if (!pair) return;
    if (Entry* a = current(addressKey(address), now)) {
        a->failures -= pair->failures;
        if (a->failures <= 0) entries_.erase(addressKey(address));
    }
    entries_.erase(pairKey(address, user));
}

void LoginThrottle::forgetQuietEntries(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.last > policy_.forgetAfter)
            it = entries_.erase(it);
        else
            ++it;
    }
}

}  // namespace velmora::server
