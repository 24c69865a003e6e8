#include "server/LoginThrottle.h"

#include <algorithm>

namespace velmora::server {

namespace {
// Past this many addresses, quiet ones are dropped, so that a scan from many addresses cannot
// grow the table without end.
constexpr size_t kPruneAbove = 4096;
}  // namespace

std::chrono::milliseconds LoginThrottle::delayFor(const std::string& address) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = entries_.find(address);
    if (it == entries_.end()) return std::chrono::milliseconds(0);
    if (Clock::now() - it->second.last > policy_.forgetAfter) {
        entries_.erase(it);
        return std::chrono::milliseconds(0);
    }
    int doublings = std::min(it->second.failures - 1, 16);
    return std::min(policy_.firstDelay * (int64_t(1) << doublings), policy_.maxDelay);
}

int LoginThrottle::failed(const std::string& address) {
    std::lock_guard<std::mutex> guard(lock_);
    Clock::time_point now = Clock::now();
    if (entries_.size() > kPruneAbove) forgetQuietAddresses(now);
    Entry& e = entries_[address];
    if (e.failures > 0 && now - e.last > policy_.forgetAfter) e.failures = 0;
    ++e.failures;
    e.last = now;
    return e.failures;
}

void LoginThrottle::succeeded(const std::string& address) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.erase(address);
}

void LoginThrottle::forgetQuietAddresses(Clock::time_point now) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.last > policy_.forgetAfter)
            it = entries_.erase(it);
        else
            ++it;
    }
}

}  // namespace velmora::server
