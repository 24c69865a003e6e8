#include "data/ValueText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>

#include "transport/Errors.h"

namespace velmora {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's days_from_civil).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<int32_t> parseInteger(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<bool> parseBoolean(std::string_view text) {
    text = trimmed(text);
    auto is = [&](std::string_view word) {  // ASCII, case-blind
        return std::equal(word.begin(), word.end(), text.begin(), text.end(),
                          [](char w, char t) { return (t | 0x20) == w; });
    };
    if (is("true") || text == "1") return true;
    if (is("false") || text == "0") return false;
    return std::nullopt;
}

std::optional<double> parseDateTime(std::string_view text) {
    std::string s(trimmed(text));
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, used = 0;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3) return std::nullopt;
    if (static_cast<size_t>(used) != s.size()) {
        int more = 0;
        int got = std::sscanf(s.c_str() + used, " %2d:%2d%n:%2d%n", &h, &mi, &more, &sec, &more);
        if (got < 2 || static_cast<size_t>(used) + static_cast<size_t>(more) != s.size()) return std::nullopt;
    }
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] + (mo == 2 && leap(y) ? 1 : 0))
        return std::nullopt;
    if (h > 23 || mi > 59 || sec > 59 || h < 0 || mi < 0 || sec < 0) return std::nullopt;
    constexpr double kDaysFrom1899To1970 = 25569.0;
    double days = static_cast<double>(daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)));
    return kDaysFrom1899To1970 + days + (h * 3600 + mi * 60 + sec) / 86400.0;
}

Variant valueFromText(FieldType type, std::string_view text) {
    if (type == FieldType::String) return Variant(std::string(text));
    if (text.find_first_not_of(" \t") == std::string_view::npos) return Variant::null();
    const std::string shown(text);
    switch (type) {
        case FieldType::Integer:
            if (auto v = parseInteger(text)) return Variant(*v);
            throw VelmoraError(formatText("'%s' is not a valid integer value", shown.c_str()));
        case FieldType::Double:
            if (auto v = parseNumber(text)) return Variant(*v);
            throw VelmoraError(formatText("'%s' is not a valid floating point value", shown.c_str()));
        case FieldType::Boolean:
            if (auto v = parseBoolean(text)) return Variant(*v);
            throw VelmoraError(formatText("'%s' is not a valid boolean value", shown.c_str()));
        case FieldType::DateTime:
            if (auto v = parseDateTime(text)) return Variant::date(*v);
            throw VelmoraError(formatText("'%s' is not a valid date and time", shown.c_str()));
        default:
            return Variant(shown);
    }
}

}  // namespace velmora
