#include "server/BackupJob.h"

#include <dirent.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill is POSIX
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "server/BackupFormat.h"
#include "server/BackupTables.h"
#include "server/PgConnection.h"
#include "server/Schema.h"
#include "server/SqliteConnection.h"
#include "server/UtcTime.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

// Removes the files it names unless released: what a failed backup leaves behind.
struct Leftovers {
    std::string partial, snapshot;
    ~Leftovers() {
        if (!partial.empty()) ::unlink(partial.c_str());
        if (!snapshot.empty()) removeSqliteFiles(snapshot);
    }
};

void quickCheck(DbConnection& db, const std::string& source) {
    auto q = db.query("PRAGMA quick_check", {});
    if (q->next() && q->text(0) != "ok")
        throw VelmoraError(formatText("The database %s is damaged (%.*s); no backup was written",
                                      source.c_str(), static_cast<int>(q->text(0).size()),
                                      q->text(0).data()));
}

}  // namespace

BackupResult takeBackup(const std::string& location, const std::string& path, SnapshotPace pace) {
    auto started = std::chrono::steady_clock::now();
    const std::string pid = std::to_string(::getpid());
    Leftovers leftovers{path + ".partial-" + pid, {}};
    BackupHeader header;
    header.productVersion = VELMORA_VERSION;
    // Taken before the snapshot begins: whatever was acknowledged before this time is in it.
    header.created = utcTimestamp();
    std::unique_ptr<DbConnection> db;
    if (isPostgresLocation(location)) {
        db = openDatabase(location, false);
    } else {
        leftovers.snapshot = path + ".snapshot-" + pid;
        removeSqliteFiles(leftovers.snapshot);
        snapshotSqlite(location, leftovers.snapshot, pace);
        db = std::make_unique<SqliteConnection>(leftovers.snapshot, false);
        quickCheck(*db, location);
    }
    header.source = sourceName(db->dialect());
    db->beginRead();
    header.schemaVersion = storedSchemaVersion(*db);
    BackupWriter writer(leftovers.partial, header);
    readDatabase(*db, writer);
    db->rollback();
    db.reset();
    BackupResult result;
    result.bytes = writer.finish();
    result.created = header.created;
    for (const auto& [table, rows] : verifyBackup(leftovers.partial).tables) result.rows += rows;
    if (std::rename(leftovers.partial.c_str(), path.c_str()) != 0)
        throw VelmoraError(
            formatText("cannot rename the backup to %s: %s", path.c_str(), std::strerror(errno)));
    leftovers.partial.clear();
    syncDirectoryOf(path);
    result.path = path;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

void removeStaleParts(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        for (const char* mark : {".partial-", ".snapshot-"}) {
            size_t at = name.rfind(mark);
            if (at == std::string::npos) continue;
            std::string rest = name.substr(at + std::strlen(mark));
            size_t digits = rest.find_first_not_of("0123456789");
            if (digits == 0 || rest.empty()) continue;
            long pid = std::strtol(rest.c_str(), nullptr, 10);
            if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH))
                ::unlink((dir + "/" + name).c_str());
        }
    }
    ::closedir(d);
}

}  // namespace velmora::server
