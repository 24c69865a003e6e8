#pragma once

#include <string>

namespace velmora::server {

// Now in UTC, ISO 8601 with milliseconds ("2026-03-01T02:00:00.000Z"): the server's stamp on
// audit rows and backups, which sorts as text.
std::string utcTimestamp();

}  // namespace velmora::server
