#pragma once
// Text is UTF-8 in the core and UTF-16LE on the wire. Malformed input on either side becomes
// U+FFFD rather than an error, so a damaged name can never stop a conversion half way.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "transport/Bytes.h"

namespace velmora {

// Appends the UTF-16LE form of utf8 to out and returns the number of 16-bit code units written.
size_t appendUtf16LE(Bytes& out, std::string_view utf8);

// Decodes units 16-bit code units of little-endian UTF-16 starting at data.
std::string utf16LEToUtf8(const uint8_t* data, size_t units);

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

}  // namespace velmora
