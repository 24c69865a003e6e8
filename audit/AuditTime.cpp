#include "audit/AuditTime.h"

#include <cstdio>
#include <ctime>

namespace velmora {

namespace {

bool parseDate(const std::string& text, std::tm& out) {
    int year = 0, month = 0, day = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &end) != 3) return false;
    out = std::tm{};
    out.tm_year = year - 1900;
    out.tm_mon = month - 1;
    out.tm_mday = day;
    return true;
}

std::string dateText(const std::tm& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

// The UTC date of a local moment.
std::string utcDateOf(std::tm local) {
    local.tm_isdst = -1;  // the system knows whether summer time applies
    const std::time_t moment = std::mktime(&local);
    std::tm utc{};
    gmtime_r(&moment, &utc);
    return dateText(utc);
}

}  // namespace

std::string localTimeText(std::string_view utc) {
    const std::string text(utc);
    std::tm t{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec, &consumed) != 6 ||
        consumed != 19)
        return text;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    const std::time_t moment = timegm(&t);
    std::tm local{};
    localtime_r(&moment, &local);
    char out[32];
    std::snprintf(out, sizeof out, "%s %02d:%02d:%02d", dateText(local).c_str(), local.tm_hour, local.tm_min,
                  local.tm_sec);
    return out;
}

std::pair<std::string, std::string> utcDatesSpanning(const std::string& from, const std::string& to) {
    std::tm first{}, last{};
    if (!parseDate(from, first) || !parseDate(to, last)) return {from, to};
    last.tm_hour = 23;
    last.tm_min = 59;
    last.tm_sec = 59;
    return {utcDateOf(first), utcDateOf(last)};
}

}  // namespace velmora
