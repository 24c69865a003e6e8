#pragma once
// Filling a new database from a backup file (restore) or from another database (copy), on SQLite
// or PostgreSQL. A SQLite database is built in a file beside its final name and moved into place
// only when complete; a PostgreSQL one must be empty and is filled in one transaction.

#include <cstdint>
#include <string>
#include <vector>

#include "server/BackupTables.h"

namespace velmora::server {

struct RestoreOutcome {
    uint64_t rows = 0;
    std::string kept;         // where the replaced database went (empty: none was kept)
    std::string auditResult;  // what checking the restored audit trail found
    bool auditIntact = false;
};

// Restores the backup file into the database at location. Verifies the file first and refuses a
// newer schema than this program's; a SQLite file being served is refused (ServingLock), an
// existing one is kept as "LOCATION.before-restore-TIME" unless keep is false; a PostgreSQL
// database must be empty.
RestoreOutcome restoreBackup(const std::string& file, const std::string& location, bool keep);

struct CopyOutcome {
    std::vector<TableDigest> source, target;
    bool equal = false;
    std::string auditResult;
};

// Copies the database at from into the new (or empty) database at to, then reads the target back
// and compares each table's rows, sums and content with the source's snapshot.
CopyOutcome copyDatabase(const std::string& from, const std::string& to);

// The text a restore over a served database is refused with.
std::string servedRefusal(const std::string& location);

}  // namespace velmora::server
