#include "server/Log.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace velmora::server {

void logLine(const std::string& line) {
    static std::mutex lock;
    time_t now = time(nullptr);
    struct tm parts {};
    localtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    std::lock_guard<std::mutex> guard(lock);
    std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
    std::fflush(stderr);
}

}  // namespace velmora::server
