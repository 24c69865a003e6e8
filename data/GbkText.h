#pragma once
// Lengths in the system's code page (GBK), where fixed-size text slots count bytes: an ASCII
// character takes one byte, a Chinese character two.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// Bytes the UTF-8 text takes in GBK. A character GBK cannot hold counts as the one byte of the
// '?' it would become.
size_t gbkLength(std::string_view utf8);

// The longest prefix of utf8 that fits in maxBytes of GBK, never cutting a character in half.
std::string cutToGbkBytes(std::string_view utf8, size_t maxBytes);

}  // namespace velmora
