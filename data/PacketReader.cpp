#include "data/PacketReader.h"

#include <cstring>

#include "data/PacketFormat.h"

namespace velmora {

uint16_t PacketReader::u16() {
    need(2);
    uint16_t v = static_cast<uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
}

uint32_t PacketReader::u32() {
    need(4);
    uint32_t v = uint32_t(p_[0]) | (uint32_t(p_[1]) << 8) | (uint32_t(p_[2]) << 16) | (uint32_t(p_[3]) << 24);
    p_ += 4;
    return v;
}

double PacketReader::f64() {
    need(8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p_[i];
    p_ += 8;
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

uint32_t PacketReader::varint() {
    uint32_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        uint8_t b = u8();
        if (shift == 28 && (b & 0xF0) != 0) fail("length out of range");
        v |= uint32_t(b & 0x7F) << shift;
        if ((b & 0x80) == 0) return v;
    }
    fail("length out of range");
}

std::string_view PacketReader::bytes(size_t n) {
    need(n);
    std::string_view v(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return v;
}

std::string_view PacketReader::text(uint32_t limit) {
    uint32_t n = varint();
    if (n > limit) fail("text too long");
    return bytes(n);
}

void PacketReader::fail(const char* reason) const {
    throw PacketError(formatText("Invalid %s: %s at byte %zu", what_, reason, offset()));
}

}  // namespace velmora
