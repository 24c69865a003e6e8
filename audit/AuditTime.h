#pragma once
// The audit trail's times are UTC (ISO 8601, as the server stamps them); the windows speak the
// local time of the computer they run on.

#include <string>
#include <string_view>
#include <utility>

namespace velmora {

// "2024-05-01T10:00:00.123Z" as the local time "2024-05-01 18:00:00" (at UTC+8); text of
// another form is returned as it is.
std::string localTimeText(std::string_view utc);

// The UTC dates (yyyy-MM-dd) a query by date must span so that it holds every moment of the local
// days from to to (yyyy-MM-dd, inclusive). The rows it returns may reach into the days next to
// them: keep those whose local time falls within the days.
std::pair<std::string, std::string> utcDatesSpanning(const std::string& from, const std::string& to);

}  // namespace velmora
