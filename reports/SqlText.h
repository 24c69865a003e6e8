#pragma once
// Pieces of the SQL texts the reports build from what the operator typed. No Qt here, so the
// texts can be checked without a window.

#include <string>
#include <string_view>

namespace velmora {

// value between single quotes, each quote inside doubled, so that typed text can never end the
// literal early.
std::string quotedValue(std::string_view value);

// True when text, blanks around it allowed, is a plain decimal number the database reads as one:
// an optional sign, digits with an optional fraction (or a fraction alone), an optional exponent.
// Nothing else passes (no names, no hexadecimal, no "inf"), so such text can stand in SQL unquoted.
bool isNumberText(std::string_view text);

// text without the blanks and control characters at either end.
std::string_view trimmedText(std::string_view text);

// The short date format of the whole client, yyyy-MM-dd: its text order is the date order, and the
// server compares dates as text.
std::string shortDateText(int year, int month, int day);

}  // namespace velmora
