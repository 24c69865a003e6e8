#include "data/AmountText.h"

#include "data/ValueText.h"
#include "transport/Variant.h"

namespace velmora {

std::string amountDisplayText(double value) {
    std::string text = formatDouble15(value);
    if (text.find_first_of("eEn") != std::string::npos) return text;  // exponent, inf or nan
    size_t dot = text.find('.');
    if (dot == std::string::npos) return text + ".00";
    size_t decimals = text.size() - dot - 1;
    if (decimals < 2) text.append(2 - decimals, '0');
    return text;
}

std::string amountDisplayText(std::string_view text) {
    std::optional<double> value = parseNumber(text);
    return value ? amountDisplayText(*value) : std::string(text);
}

}  // namespace velmora
