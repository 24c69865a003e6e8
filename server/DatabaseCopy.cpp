#include "server/DatabaseCopy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

#include "server/AuditTrail.h"
#include "server/PgConnection.h"
#include "server/Schema.h"
#include "server/ServingLock.h"
#include "server/SqliteConnection.h"
#include "server/SqliteSnapshot.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

void renameOrFail(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw VelmoraError(
            formatText("cannot rename %s to %s: %s", from.c_str(), to.c_str(), std::strerror(errno)));
}

std::string compactUtcNow() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// A new database being filled: on SQLite a file beside the final name, on PostgreSQL the empty
// database itself. fill() loads it in one transaction; install() moves a SQLite file into place.
class NewDatabase {
  public:
    explicit NewDatabase(const std::string& location) : location_(location) {
        if (isPostgresLocation(location)) {
            db_ = openDatabase(location, false);
            if (!db_->isEmpty())
                throw VelmoraError(
                    formatText("the database %s is not empty: a PostgreSQL database is filled only "
                               "when it is new (createdb a new one, fill it, then point the "
                               "servers' db at it)",
                               redactedLocation(location).c_str()));
            return;
        }
        building_ = location + ".restoring-" + std::to_string(::getpid());
        removeSqliteFiles(building_);
        db_ = std::make_unique<SqliteConnection>(building_, true);
    }
    ~NewDatabase() {
        db_.reset();
        if (!building_.empty()) removeSqliteFiles(building_);
    }
    DbConnection& db() { return *db_; }

    // Creates the schema and loads what source sends, all or nothing.
    std::vector<std::pair<std::string, uint64_t>> fill(const std::function<void(TableSink&)>& source) {
        // PostgreSQL creates its tables in the same transaction, so a failure leaves it empty.
        if (db_->dialect() == Dialect::Sqlite) createSchema(*db_);
        Transaction tx(*db_);
        if (db_->dialect() == Dialect::Postgres) createSchema(*db_);
        DatabaseLoader loader(*db_);
        source(loader);
        tx.commit();
        return loader.loaded();
    }

    // Closes the connection; a SQLite file is synced and renamed to target.
    void install(const std::string& target) {
        db_.reset();
        if (building_.empty()) return;
        syncFile(building_);
        renameOrFail(building_, target);
        building_.clear();
        syncDirectoryOf(target);
    }

  private:
    std::string location_;
    std::string building_;
    std::unique_ptr<DbConnection> db_;
};

void checkCounts(const std::vector<std::pair<std::string, uint64_t>>& expected,
                 const std::vector<std::pair<std::string, uint64_t>>& loaded) {
    if (expected != loaded) throw VelmoraError("the rows loaded do not match the backup's counts");
}

std::string auditText(DbConnection& db, bool& intact) {
    AuditCheck check = verifyAuditChain(db);
    intact = check.fault.empty();
    if (intact)
        return formatText("audit trail intact: %" PRId64 " rows, last hash %s", check.rows,
                          check.headHash.c_str());
    return formatText("audit trail BROKEN after %" PRId64 " rows: %s", check.rows, check.fault.c_str());
}

}  // namespace

std::string servedRefusal(const std::string& location) {
    return formatText(
        "a velmora-server is serving %s: stop it first (systemctl stop velmora-server, or end that process "
        "with "
        "SIGTERM), restore, then start it again",
        location.c_str());
}

RestoreOutcome restoreBackup(const std::string& file, const std::string& location, bool keep) {
    BackupSummary summary = verifyBackup(file);
    if (summary.header.schemaVersion > kSchemaVersion)
        throw VelmoraError(
            formatText("the backup is of schema version %d, newer than this program knows (%d): "
                       "restore it with velmora-server %s or later",
                       summary.header.schemaVersion, kSchemaVersion, summary.header.productVersion.c_str()));
    ServingLock lock;
    if (!lock.acquire(location, ServingLock::Replacing)) throw VelmoraError(servedRefusal(location));
    RestoreOutcome out;
    {
        NewDatabase target(location);
        checkCounts(summary.tables, target.fill([&](TableSink& sink) { readBackup(file, &sink); }));
        for (const auto& [table, rows] : summary.tables) out.rows += rows;
        out.auditResult = auditText(target.db(), out.auditIntact);
        if (isPostgresLocation(location)) return out;
        bool replacing = fileExists(location);
        if (replacing) {
            // The replaced database is kept whole: its log is folded into the file first.
            {
                SqliteConnection old(location, false);
                old.executeScript("PRAGMA wal_checkpoint(TRUNCATE)");
            }
            if (keep) {
                out.kept = location + ".before-restore-" + compactUtcNow();
                if (::link(location.c_str(), out.kept.c_str()) != 0)
                    throw VelmoraError(formatText("cannot keep %s as %s: %s", location.c_str(),
                                                  out.kept.c_str(), std::strerror(errno)));
            }
            for (const char* log : {"-wal", "-shm", "-journal"}) ::unlink((location + log).c_str());
        }
        target.install(location);
    }
    return out;
}

CopyOutcome copyDatabase(const std::string& from, const std::string& to) {
    if (!isPostgresLocation(from) && !fileExists(from)) throw VelmoraError("There is no database at " + from);
    if (from == to) throw VelmoraError("copy needs two different databases");
    if (!isPostgresLocation(to) && fileExists(to)) {
        bool empty = SqliteConnection(to, false).isEmpty();
        if (!empty)
            throw VelmoraError(
                formatText("%s exists and holds data: copy fills a new database only", to.c_str()));
    }
    ServingLock lock;
    if (!lock.acquire(to, ServingLock::Replacing)) throw VelmoraError(servedRefusal(to));
    CopyOutcome out;
    std::unique_ptr<DbConnection> source = openDatabase(from, false);
    NewDatabase target(to);
    DigestSink sourceDigest;
    source->beginRead();
    target.fill([&](TableSink& loader) {
        TeeSink both(loader, sourceDigest);
        readDatabase(*source, both);
    });
    source->rollback();
    out.source = sourceDigest.digests();
    DigestSink targetDigest;
    target.db().beginRead();
    readDatabase(target.db(), targetDigest);
    target.db().rollback();
    out.target = targetDigest.digests();
    out.equal = out.source.size() == out.target.size();
    for (size_t i = 0; out.equal && i < out.source.size(); ++i)
        out.equal = out.source[i].rows == out.target[i].rows &&
                    out.source[i].sha256 == out.target[i].sha256 && out.source[i].sums == out.target[i].sums;
    bool intact = false;
    out.auditResult = auditText(target.db(), intact);
    if (!out.equal) return out;  // the SQLite file under construction goes with target
    target.install(to);
    return out;
}

}  // namespace velmora::server
