#pragma once
// Taking one backup of a live database into a portable file: a consistent snapshot (SQLite's
// online backup, PostgreSQL's repeatable-read transaction), written under a temporary name,
// synced, verified and only then renamed into place. A backup killed halfway leaves no file under
// its final name, only "FINAL.partial-PID" (and "FINAL.snapshot-PID"), which removeStaleParts
// clears once that process is gone.

#include <cstdint>
#include <string>

#include "server/SqliteSnapshot.h"

namespace velmora::server {

struct BackupResult {
    std::string path;
    uint64_t bytes = 0;
    uint64_t rows = 0;
    double seconds = 0;
    std::string created;  // the snapshot's time, UTC
};

// Backs the database at location (a SQLite file or a PostgreSQL URI, already brought up to date)
// up into the file path (replaced when it exists).
BackupResult takeBackup(const std::string& location, const std::string& path, SnapshotPace pace = {});

// Removes the temporary files of backups in dir whose process has ended.
void removeStaleParts(const std::string& dir);

}  // namespace velmora::server
