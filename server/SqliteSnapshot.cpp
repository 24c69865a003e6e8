#include "server/SqliteSnapshot.h"

#include <sqlite3.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close_v2(db); }
};

void open(Handle& h, const std::string& path, int flags) {
    if (sqlite3_open_v2(path.c_str(), &h.db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        throw VelmoraError(formatText("Cannot open database %s: %s", path.c_str(),
                                      h.db ? sqlite3_errmsg(h.db) : "out of memory"));
    sqlite3_busy_timeout(h.db, 10000);
}

void exec(Handle& h, const char* sql) {
    if (sqlite3_exec(h.db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw VelmoraError(sqlite3_errmsg(h.db));
}

}  // namespace

void snapshotSqlite(const std::string& source, const std::string& copy, SnapshotPace pace) {
    if (::access(source.c_str(), F_OK) != 0) throw VelmoraError("There is no database at " + source);
    Handle from, to;
    open(from, source, SQLITE_OPEN_READWRITE);
    open(to, copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE);
    // The snapshot: held until the last page is copied.
    exec(from, "BEGIN; SELECT count(*) FROM sqlite_master;");
    sqlite3_backup* backup = sqlite3_backup_init(to.db, "main", from.db, "main");
    if (!backup) throw VelmoraError(sqlite3_errmsg(to.db));
    int rc;
    while ((rc = sqlite3_backup_step(backup, pace.pagesPerStep)) != SQLITE_DONE) {
        if (rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
        std::this_thread::sleep_for(pace.pause);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw VelmoraError(formatText("The copy of %s failed: %s", source.c_str(), sqlite3_errstr(rc)));
    exec(from, "COMMIT");
}

void removeSqliteFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

}  // namespace velmora::server
