#include "server/BackupDirectory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "server/BackupFormat.h"
#include "server/Log.h"
#include "server/UtcTime.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

constexpr const char* kPrefix = "velmora-";
constexpr const char* kSuffix = ".vbak";
// velmora-YYYYMMDDTHHMMSS.mmmZ.vbak
constexpr const char* kPattern = "DDDDDDDDTDDDDDD.DDDZ";

bool isBackupName(const std::string& name) {
    const size_t prefix = std::strlen(kPrefix), body = std::strlen(kPattern), suffix = std::strlen(kSuffix);
    if (name.size() != prefix + body + suffix || name.compare(0, prefix, kPrefix) != 0 ||
        name.compare(prefix + body, suffix, kSuffix) != 0)
        return false;
    for (size_t i = 0; i < body; ++i) {
        char c = name[prefix + i];
        if (kPattern[i] == 'D' ? (c < '0' || c > '9') : c != kPattern[i]) return false;
    }
    return true;
}

// The UTC time of a backup's name, as parts.
std::tm timeOfName(const std::string& name, int& millis) {
    auto n = [&](size_t at, size_t len) {
        return std::atoi(name.substr(std::strlen(kPrefix) + at, len).c_str());
    };
    std::tm t{};
    t.tm_year = n(0, 4) - 1900;
    t.tm_mon = n(4, 2) - 1;
    t.tm_mday = n(6, 2);
    t.tm_hour = n(9, 2);
    t.tm_min = n(11, 2);
    t.tm_sec = n(13, 2);
    millis = n(16, 3);
    return t;
}

}  // namespace

std::string backupFileName() {
    std::string iso = utcTimestamp();  // YYYY-MM-DDTHH:MM:SS.mmmZ
    std::string compact;
    for (char c : iso)
        if (c != '-' && c != ':') compact += c;
    return kPrefix + compact + kSuffix;
}

BackupDirectory::BackupDirectory(std::string location, std::string dir, int keep, SnapshotPace pace)
    : location_(std::move(location)), dir_(std::move(dir)), keep_(keep), pace_(pace) {
    while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
    if (::mkdir(dir_.c_str(), 0750) != 0 && errno != EEXIST)
        logLine(formatText("BACKUP WARNING: cannot create the backup folder %s: %s", dir_.c_str(),
                           std::strerror(errno)));
}

std::vector<std::string> BackupDirectory::names() const {
    std::vector<std::string> out;
    DIR* d = ::opendir(dir_.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d))
        if (isBackupName(e->d_name)) out.emplace_back(e->d_name);
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

BackupResult BackupDirectory::takeNow() {
    std::lock_guard<std::mutex> one(taking_);
    removeStaleParts(dir_);
    std::string path = dir_ + "/" + backupFileName();
    // Two backups within one millisecond: the second waits for the next name.
    while (::access(path.c_str(), F_OK) == 0) path = dir_ + "/" + backupFileName();
    BackupResult result = takeBackup(location_, path, pace_);
    rotate();
    return result;
}

void BackupDirectory::rotate() {
    std::vector<std::string> all = names();
    for (size_t i = 0; keep_ > 0 && all.size() - i > static_cast<size_t>(keep_); ++i) {
        if (::unlink((dir_ + "/" + all[i]).c_str()) == 0)
            logLine(
                formatText("removed the old backup %s/%s (keeping %d)", dir_.c_str(), all[i].c_str(), keep_));
    }
}

std::vector<BackupDirectory::Entry> BackupDirectory::list() {
    std::vector<Entry> out;
    std::vector<std::string> all = names();
    std::lock_guard<std::mutex> lock(checks_);
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        struct stat info {};
        std::string path = dir_ + "/" + *it;
        if (::stat(path.c_str(), &info) != 0) continue;  // removed meanwhile
        Entry e;
        e.name = *it;
        int millis = 0;
        std::tm t = timeOfName(*it, millis);
        e.created = formatText("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900, t.tm_mon + 1,
                               t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, millis);
        e.bytes = static_cast<uint64_t>(info.st_size);
        int64_t modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        auto known = checked_.find(*it);
        if (known != checked_.end() && known->second.bytes == e.bytes && known->second.modified == modified) {
            e.verified = known->second.verified;
        } else {
            try {
                verifyBackup(path);
                e.verified = true;
            } catch (const std::exception&) {
                e.verified = false;
            }
            checked_[*it] = {e.bytes, modified, e.verified};
        }
        out.push_back(e);
    }
    return out;
}

std::optional<std::chrono::system_clock::time_point> BackupDirectory::newest() {
    std::vector<std::string> all = names();
    if (all.empty()) return std::nullopt;
    int millis = 0;
    std::tm t = timeOfName(all.back(), millis);
    return std::chrono::system_clock::from_time_t(timegm(&t)) + std::chrono::milliseconds(millis);
}

}  // namespace velmora::server
