#include "server/Log.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace velmora::server {

namespace {

// Whether standard error is the systemd journal (the service), which stamps every line itself:
// systemd names the stream it connected in JOURNAL_STREAM as "device:inode".
bool stderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    struct stat info {};
    if (!stream || fstat(fileno(stderr), &info) != 0) return false;
    unsigned long long device = 0, inode = 0;
    return std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && device == info.st_dev &&
           inode == info.st_ino;
}

}  // namespace

void logLine(const std::string& line) {
    static std::mutex lock;
    static const bool journal = stderrIsJournal();
    std::lock_guard<std::mutex> guard(lock);
    if (journal) {
        std::fprintf(stderr, "%s\n", line.c_str());
    } else {
        time_t now = time(nullptr);
        struct tm parts {};
        localtime_r(&now, &parts);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
        std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
    }
    std::fflush(stderr);
}

}  // namespace velmora::server
