#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "transport/Bytes.h"

namespace velmora {

// Little-endian appends to a Bytes buffer, and patches of values written earlier.
class ByteWriter {
  public:
    explicit ByteWriter(Bytes& out) : out_(out) {}

    size_t size() const { return out_.size(); }
    void u8(uint8_t v) { out_.append(&v, 1); }
    void u16(uint16_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        out_.append(b, 2);
    }
    void u32(uint32_t v) {
        uint8_t b[4];
        store32(b, v);
        out_.append(b, 4);
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        uint8_t b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (8 * i));
        out_.append(b, 8);
    }
    // Unsigned LEB128: seven bits a byte, low bits first.
    void varint(uint32_t v) {
        uint8_t b[5];
        size_t n = 0;
        while (v >= 0x80) {
            b[n++] = static_cast<uint8_t>(v | 0x80);
            v >>= 7;
        }
        b[n++] = static_cast<uint8_t>(v);
        out_.append(b, n);
    }
    void text(std::string_view s) {
        varint(static_cast<uint32_t>(s.size()));
        out_.append(s.data(), s.size());
    }
    void raw(const void* p, size_t n) { out_.append(p, n); }
    // Reserves n zero bytes and returns their offset, for a count or bitmap filled in later.
    size_t reserve(size_t n) {
        size_t at = out_.size();
        out_.resize(at + n);
        std::memset(out_.data() + at, 0, n);
        return at;
    }
    void patch32(size_t at, uint32_t v) { store32(out_.data() + at, v); }
    uint8_t* at(size_t offset) { return out_.data() + offset; }

    static void store32(uint8_t* p, uint32_t v) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        p[3] = static_cast<uint8_t>(v >> 24);
    }

  private:
    Bytes& out_;
};

}  // namespace velmora
