#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace velmora {

// A growable byte buffer. Bytes added by resize() are left uninitialised, and growth goes through
// realloc, so a large buffer grows by remapping pages instead of copying them.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(size_t size) { resize(size); }
    Bytes(const void* data, size_t size) { append(data, size); }
    Bytes(const Bytes& other) : Bytes(other.data_, other.size_) {}
    Bytes(Bytes&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    Bytes& operator=(const Bytes& other) {
        if (this != &other) {
            size_ = 0;
            append(other.data_, other.size_);
        }
        return *this;
    }
    Bytes& operator=(Bytes&& other) noexcept {
        Bytes moved(std::move(other));
        swap(moved);
        return *this;
    }
    ~Bytes() { std::free(data_); }

    void swap(Bytes& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    uint8_t& operator[](size_t i) { return data_[i]; }
    const uint8_t& operator[](size_t i) const { return data_[i]; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }

    void reserve(size_t capacity) {
        if (capacity <= capacity_) return;
        void* grown = std::realloc(data_, capacity);
        if (!grown) throw std::bad_alloc();
        data_ = static_cast<uint8_t*>(grown);
        capacity_ = capacity;
    }
    void resize(size_t size) {
        if (size > capacity_) reserve(growTo(size));
        size_ = size;
    }
    void clear() { size_ = 0; }
    void append(const void* src, size_t n) {
        if (n == 0) return;
        size_t at = size_;
        resize(size_ + n);
        std::memcpy(data_ + at, src, n);
    }

    bool operator==(const Bytes& other) const {
        return size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, size_) == 0);
    }

private:
    size_t growTo(size_t needed) const {
        size_t doubled = capacity_ * 2;
        return doubled > needed ? doubled : needed;
    }

    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace velmora
