#pragma once
// A consistent copy of a live SQLite database, taken with SQLite's online backup a few pages at a
// time. One read transaction is held on the source from the first step to the last, so every page
// comes from one snapshot and the copy never starts over; in WAL mode writers go on meanwhile, and
// the pauses between steps leave them the disk.

#include <chrono>
#include <string>

namespace velmora::server {

struct SnapshotPace {
    int pagesPerStep = 256;  // 1 MiB of 4 KiB pages
    std::chrono::microseconds pause{2000};
};

// Copies the database file at source into a new file at copy (which must not exist); fails with
// the database's message.
void snapshotSqlite(const std::string& source, const std::string& copy, SnapshotPace pace = {});

// Removes a SQLite file and the log files beside it; missing ones are fine.
void removeSqliteFiles(const std::string& path);

}  // namespace velmora::server
