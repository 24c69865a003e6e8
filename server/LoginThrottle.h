#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace velmora::server {

// Slows down guessing: after a failed login, the next checks from that address, and the next
// checks of that user name from anywhere, wait, twice as long after each further failure, up to
// a ceiling. A check waits for the longer of the two. A success as a user clears that user's
// failures and, of its address's failures, those against that user: one's own login does not
// clear the failures of guesses at someone else. A quiet spell forgets everything. Shared by
// every connection; thread-safe.
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

    // How long the next check of user from address must wait.
    std::chrono::milliseconds delayFor(const std::string& address, const std::string& user);
    // Records a failed check of user from address; returns the failures in a row from address.
    int failed(const std::string& address, const std::string& user);
    // Failures in a row against user, from any address.
    int failuresAgainst(const std::string& user);
    void succeeded(const std::string& address, const std::string& user);

  private:
    struct Entry {
        int failures = 0;
        Clock::time_point last;
    };
    // The entry of key, forgetting one whose last failure is past the quiet spell; nullptr if none.
    Entry* current(const std::string& key, Clock::time_point now);
    std::chrono::milliseconds delayOf(const Entry* entry) const;
    void forgetQuietEntries(Clock::time_point now);

    Policy policy_;
    std::mutex lock_;
    // Keyed by kind: an address, a user name, and the pair, whose count a success takes off its
    // address.
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace velmora::server
