#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace velmora {

// A growable byte buffer. Bytes added by resize() are left uninitialised. Small buffers grow
// through realloc; large ones come from and return to a small pool of warm buffers, because a
// fresh multi-megabyte allocation costs more in page faults than the copy that fills it.
class Bytes {
  public:
    // Buffers of at least this capacity go through the pool.
    static constexpr size_t kPooledCapacity = size_t(1) << 20;

    Bytes() = default;
    explicit Bytes(size_t size) { resize(size); }
    Bytes(const void* data, size_t size) { append(data, size); }
    Bytes(const Bytes& other) : Bytes(other.data(), other.size_) {}
    Bytes(Bytes&& other) noexcept
        : base_(std::exchange(other.base_, nullptr)),
          offset_(std::exchange(other.offset_, 0)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    Bytes& operator=(const Bytes& other) {
        if (this != &other) {
            size_ = 0;
            append(other.data(), other.size_);
        }
        return *this;
    }
    Bytes& operator=(Bytes&& other) noexcept {
        Bytes moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~Bytes() { release(base_, capacity_ + offset_); }

    void swap(Bytes& other) noexcept {
        std::swap(base_, other.base_);
        std::swap(offset_, other.offset_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    // Takes over whole's memory and keeps only the bytes from offset on, without copying them.
    static Bytes adoptTail(Bytes&& whole, size_t offset);

    uint8_t* data() { return base_ + offset_; }
    const uint8_t* data() const { return base_ + offset_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    uint8_t& operator[](size_t i) { return base_[offset_ + i]; }
    const uint8_t& operator[](size_t i) const { return base_[offset_ + i]; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + size_; }

    void reserve(size_t capacity);
    void resize(size_t size) {
        if (size > capacity_) reserve(growTo(size));
        size_ = size;
    }
    void clear() { size_ = 0; }
    void append(const void* src, size_t n) {
        if (n == 0) return;
        size_t at = size_;
        resize(size_ + n);
        std::memcpy(data() + at, src, n);
    }

    bool operator==(const Bytes& other) const {
        return size_ == other.size_ && (size_ == 0 || std::memcmp(data(), other.data(), size_) == 0);
    }

  private:
    size_t growTo(size_t needed) const {
        size_t doubled = capacity_ * 2;
        return doubled > needed ? doubled : needed;
    }
    static void release(uint8_t* base, size_t capacity);

    uint8_t* base_ = nullptr;
    size_t offset_ = 0;  // data() is base_ + offset_
    size_t size_ = 0;
    size_t capacity_ = 0;  // usable from data() on
};

// Frees the warm buffers and hands the free pages of the heap back to the system; for the moment a
// large result has been let go.
void releaseFreeMemory();

}  // namespace velmora
