#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace velmora::server {

// Slows down guessing: after a failed login from an address, that address's next checks wait,
// twice as long after each further failure, up to a ceiling. A success, or a quiet spell, clears
// the address. Shared by every connection; thread-safe.
class LoginThrottle {
  public:
    using Clock = std::chrono::steady_clock;
    struct Policy {
        std::chrono::milliseconds firstDelay{250};
        std::chrono::milliseconds maxDelay{8000};
        std::chrono::minutes forgetAfter{15};
    };

    LoginThrottle() = default;
    explicit LoginThrottle(Policy policy) : policy_(policy) {}

    // How long the next check from address must wait.
    std::chrono::milliseconds delayFor(const std::string& address);
    // Records a failure; returns the failures in a row from address.
    int failed(const std::string& address);
    void succeeded(const std::string& address);

  private:
    struct Entry {
        int failures = 0;
        Clock::time_point last;
    };
    void forgetQuietAddresses(Clock::time_point now);

    Policy policy_;
    std::mutex lock_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace velmora::server
