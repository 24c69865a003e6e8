#pragma once

#include <string>

namespace velmora::server {

// One line on stderr, time-stamped; safe from every connection thread.
void logLine(const std::string& line);

}  // namespace velmora::server
