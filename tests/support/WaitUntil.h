#pragma once
// The one way tests wait for something another thread or process does: ask again and again,
// for at most a while, without a timed assertion.

#include <chrono>
#include <thread>

namespace velmora::test {

// Calls condition until it holds or timeout passes; returns its last answer.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10),
               std::chrono::milliseconds poll = std::chrono::milliseconds(5)) {
    auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= until) return condition();
        std::this_thread::sleep_for(poll);
    }
}

}  // namespace velmora::test
