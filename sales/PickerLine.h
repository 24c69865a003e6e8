#pragma once
// The lines of the customer and salesman pickers: "code name", and the code read back from one.

#include <string>
#include <string_view>

namespace velmora {

// code, one blank, name.
std::string pickerLine(std::string_view code, std::string_view name);

// The line up to its first blank; a line without a blank is the code whole.
std::string codeOfPickerLine(std::string_view line);

}  // namespace velmora
