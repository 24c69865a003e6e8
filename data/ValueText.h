#pragma once
// Parsing the text a user types into a field of a given type.

#include <cstdint>
#include <optional>
#include <string_view>

#include "data/FieldDef.h"
#include "transport/Variant.h"

namespace velmora {

// A decimal number, optionally signed, with optional fraction and exponent, surrounded by at
// most blanks; nothing else.
std::optional<double> parseNumber(std::string_view text);
// A whole number in the 32-bit range, surrounded by at most blanks.
std::optional<int32_t> parseInteger(std::string_view text);
// "True"/"False" in any case, or "1"/"0".
std::optional<bool> parseBoolean(std::string_view text);
// "yyyy-MM-dd", optionally followed by " hh:mm" or " hh:mm:ss"; days since 1899-12-30.
std::optional<double> parseDateTime(std::string_view text);

// The value text typed into a field of type stands for: text as it is for a String field; blank
// text as null for the others; else the parsed value, or a VelmoraError saying the text is not a
// valid value of the type.
Variant valueFromText(FieldType type, std::string_view text);

}  // namespace velmora
