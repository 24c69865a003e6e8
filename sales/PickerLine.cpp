#include "sales/PickerLine.h"

namespace velmora {

std::string pickerLine(std::string_view code, std::string_view name) {
    std::string line;
    line.reserve(code.size() + 1 + name.size());
    line.append(code);
    line.push_back(' ');
    line.append(name);
    return line;
}

std::string codeOfPickerLine(std::string_view line) {
    return std::string(line.substr(0, line.find(' ')));
}

}  // namespace velmora
