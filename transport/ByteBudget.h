#pragma once

#include <atomic>
#include <cstddef>

namespace velmora {

// Bytes that several connections may hold at once for blocks still arriving. Thread-safe.
class ByteBudget {
  public:
    explicit ByteBudget(size_t limit) : limit_(limit) {}

    // Takes n bytes; false (and nothing taken) when that would pass the limit.
    bool take(size_t n) {
        size_t used = used_.load(std::memory_order_relaxed);
        do {
            if (n > limit_ || used > limit_ - n) return false;
        } while (!used_.compare_exchange_weak(used, used + n, std::memory_order_relaxed));
        return true;
    }
    void give(size_t n) { used_.fetch_sub(n, std::memory_order_relaxed); }
    size_t used() const { return used_.load(std::memory_order_relaxed); }
    size_t limit() const { return limit_; }

  private:
    const size_t limit_;
    std::atomic<size_t> used_{0};
};

}  // namespace velmora
