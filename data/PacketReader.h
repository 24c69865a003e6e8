#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

// Bounds-checked little-endian reads over bytes the caller keeps alive. Every failure throws a
// PacketError "Invalid <what>: <reason> at byte <offset>"; nothing is read past the end.
class PacketReader {
  public:
    PacketReader(const uint8_t* data, size_t size, const char* what)
        : begin_(data), p_(data), end_(data + size), what_(what) {}

    size_t offset() const { return static_cast<size_t>(p_ - begin_); }
    size_t remaining() const { return static_cast<size_t>(end_ - p_); }
    const uint8_t* position() const { return p_; }
    bool atEnd() const { return p_ == end_; }

    uint8_t u8() {
        need(1);
        return *p_++;
    }
    uint16_t u16();
    uint32_t u32();
    int32_t i32() { return static_cast<int32_t>(u32()); }
    double f64();
    uint32_t varint();
    // n bytes as a view into the input.
    std::string_view bytes(size_t n);
    void skip(size_t n) {
        need(n);
        p_ += n;
    }
    // A length-prefixed text no longer than limit.
    std::string_view text(uint32_t limit);

    [[noreturn]] void fail(const char* reason) const;
    void need(size_t n) const {
        if (n > remaining()) fail("truncated");
    }

  private:
    const uint8_t* begin_;
    const uint8_t* p_;
    const uint8_t* end_;
    const char* what_;
};

}  // namespace velmora
