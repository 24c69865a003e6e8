#pragma once
// The folder the server keeps its backups in (backup-dir): files named
// velmora-YYYYMMDDTHHMMSS.mmmZ.vbak after their UTC time, the newest `keep` of them kept. Taking a
// backup, listing and rotating are safe from any thread; one backup runs at a time.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "server/BackupJob.h"

namespace velmora::server {

// A backup file's name for the time now (UTC, milliseconds).
std::string backupFileName();

class BackupDirectory {
  public:
    // location: the database to back up; dir: the folder (created when missing); keep: files kept.
    BackupDirectory(std::string location, std::string dir, int keep, SnapshotPace pace = {});

    // Takes a backup now; once it has verified, removes the oldest past keep. Throws on failure
    // (nothing under a final name is left by a failed backup).
    BackupResult takeNow();

    struct Entry {
        std::string name;
        std::string created;  // UTC, ISO 8601, from the name
        uint64_t bytes = 0;
        bool verified = false;  // the whole file checks out now
    };
    // The backups in the folder, newest first. A file's check is remembered while its size and
    // time stay the same.
    std::vector<Entry> list();
    // The time of the newest backup, if any.
    std::optional<std::chrono::system_clock::time_point> newest();
    const std::string& dir() const { return dir_; }

  private:
    // The backup files' names, oldest first.
    std::vector<std::string> names() const;
    void rotate();

    std::string location_;
    std::string dir_;
    int keep_;
    SnapshotPace pace_;
    std::mutex taking_;  // one backup at a time
    std::mutex checks_;
    struct Check {
        uint64_t bytes;
        int64_t modified;
        bool verified;
    };
    std::map<std::string, Check> checked_;
};

}  // namespace velmora::server
