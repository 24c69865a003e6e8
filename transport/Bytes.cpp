#include "transport/Bytes.h"

#include <chrono>
#include <mutex>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace velmora {

namespace {

// Large buffers kept warm for the next large block, for a few seconds at most: a block that
// follows another at once (the bulk transfers) reuses its memory, a result the user has closed
// does not pin it. Two, because one thread may be sending a large block while another receives.
class BufferPool {
  public:
    static constexpr size_t kMaxBuffers = 2;
    static constexpr size_t kMaxBytes = size_t(256) << 20;
    static constexpr std::chrono::seconds kWarmFor{5};

    // Returns a buffer of at least `needed` bytes (and not wastefully larger), or null.
    uint8_t* acquire(size_t needed, size_t& capacity) {
        std::vector<uint8_t*> dropped;
        std::lock_guard<std::mutex> guard(lock_);
        dropStale(dropped);
        freeAll(dropped);
        size_t best = buffers_.size();
        for (size_t i = 0; i < buffers_.size(); ++i) {
            const Entry& e = buffers_[i];
            if (e.capacity >= needed && e.capacity <= needed * 4 &&
                (best == buffers_.size() || e.capacity < buffers_[best].capacity))
                best = i;
        }
        if (best == buffers_.size()) return nullptr;
        Entry e = buffers_[best];
        buffers_.erase(buffers_.begin() + static_cast<long>(best));
        held_ -= e.capacity;
        capacity = e.capacity;
        return e.base;
    }

    // Keeps the buffer when there is room, else frees it (the oldest make way first).
    void give(uint8_t* base, size_t capacity) {
        std::vector<uint8_t*> dropped;
        {
            std::lock_guard<std::mutex> guard(lock_);
            dropStale(dropped);
            if (capacity > kMaxBytes) {
                dropped.push_back(base);
            } else {
                while (!buffers_.empty() &&
                       (buffers_.size() >= kMaxBuffers || held_ + capacity > kMaxBytes)) {
                    dropped.push_back(buffers_.front().base);
                    held_ -= buffers_.front().capacity;
                    buffers_.erase(buffers_.begin());
                }
                buffers_.push_back({base, capacity, Clock::now()});
                held_ += capacity;
            }
        }
        freeAll(dropped);
    }

    // Frees every warm buffer.
    void clear() {
        std::vector<uint8_t*> dropped;
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (const Entry& e : buffers_) dropped.push_back(e.base);
            buffers_.clear();
            held_ = 0;
        }
        freeAll(dropped);
    }

  private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        uint8_t* base;
        size_t capacity;
        Clock::time_point since;
    };

    // Moves the buffers kept longer than kWarmFor to dropped; the caller holds the lock.
    void dropStale(std::vector<uint8_t*>& dropped) {
        auto now = Clock::now();
        while (!buffers_.empty() && now - buffers_.front().since > kWarmFor) {
            dropped.push_back(buffers_.front().base);
            held_ -= buffers_.front().capacity;
            buffers_.erase(buffers_.begin());
        }
    }
    static void freeAll(std::vector<uint8_t*>& buffers) {
        for (uint8_t* p : buffers) std::free(p);
        buffers.clear();
    }

    std::mutex lock_;
    std::vector<Entry> buffers_;
    size_t held_ = 0;
};

BufferPool& pool() {
    static BufferPool* p = new BufferPool();  // never destroyed: buffers may be released at exit
    return *p;
}

}  // namespace

void releaseFreeMemory() {
    pool().clear();
#ifdef __GLIBC__
    malloc_trim(0);  // the freed rows sit between live chunks: only trimming hands their pages back
#endif
}

void Bytes::release(uint8_t* base, size_t capacity) {
    if (!base) return;
    if (capacity >= kPooledCapacity)
        pool().give(base, capacity);
    else
        std::free(base);
}

void Bytes::reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    if (capacity >= kPooledCapacity) {
        size_t pooledCapacity = 0;
        if (uint8_t* warm = pool().acquire(capacity, pooledCapacity)) {
            if (size_) std::memcpy(warm, data(), size_);
            release(base_, capacity_ + offset_);
            base_ = warm;
            offset_ = 0;
            capacity_ = pooledCapacity;
            return;
        }
    }
    if (offset_ != 0) {
        // An adopted tail moves to a buffer of its own before it grows.
        auto* fresh = static_cast<uint8_t*>(std::malloc(capacity));
        if (!fresh) throw std::bad_alloc();
        if (size_) std::memcpy(fresh, data(), size_);
        release(base_, capacity_ + offset_);
        base_ = fresh;
        offset_ = 0;
        capacity_ = capacity;
        return;
    }
    void* grown = std::realloc(base_, capacity);
    if (!grown) throw std::bad_alloc();
    base_ = static_cast<uint8_t*>(grown);
    capacity_ = capacity;
}

Bytes Bytes::adoptTail(Bytes&& whole, size_t offset) {
    Bytes tail(std::move(whole));
    if (offset > tail.size_) offset = tail.size_;
    tail.offset_ += offset;
    tail.size_ -= offset;
    tail.capacity_ -= offset;
    return tail;
}

}  // namespace velmora
