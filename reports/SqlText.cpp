#include "reports/SqlText.h"

#include <cstdio>

namespace velmora {

std::string quotedValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string_view trimmedText(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool isNumberText(std::string_view text) {
    text = trimmedText(text);
    size_t i = 0;
    auto digits = [&] {
        size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t whole = digits();
    size_t fraction = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        fraction = digits();
    }
    if (whole == 0 && fraction == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == text.size();
}

std::string shortDateText(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

}  // namespace velmora
