#include "server/BackupCommand.h"

#include <sys/stat.h>

#include <cstdio>

#include "server/BackupDirectory.h"
#include "server/BackupFormat.h"
#include "server/DatabaseCopy.h"
#include "server/PgConnection.h"
#include "server/SocketServer.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Brings an existing database up to date before it is read, as the server would at its start.
void prepareSource(const std::string& location) {
    struct stat info {};
    if (!isPostgresLocation(location) && ::stat(location.c_str(), &info) != 0)
        throw VelmoraError("There is no database at " + location);
    prepareDatabase(location, false);
}

int backup(const ServerOptions& o) {
    std::string to = !o.backupTo.empty() ? o.backupTo : !o.backupDir.empty() ? o.backupDir : ".";
    prepareSource(o.database);
    // backup-dir is a folder even before its first backup made it; --to is one when it exists or
    // says so with its '/'.
    if (o.backupTo.empty() || isDirectory(to) || to.back() == '/') {
        BackupDirectory dir(o.database, to, 0);
        BackupResult r = dir.takeNow();
        std::printf("backup written: %s (%llu bytes, %llu rows, %.1f s)\n", r.path.c_str(),
                    static_cast<unsigned long long>(r.bytes), static_cast<unsigned long long>(r.rows),
                    r.seconds);
        return 0;
    }
    BackupResult r = takeBackup(o.database, to);
    std::printf("backup written: %s (%llu bytes, %llu rows, %.1f s)\n", r.path.c_str(),
                static_cast<unsigned long long>(r.bytes), static_cast<unsigned long long>(r.rows), r.seconds);
    return 0;
}

int verify(const std::string& file) {
    BackupSummary s = verifyBackup(file);
    std::printf("backup %s\n", file.c_str());
    std::printf("  format %u, schema version %d, velmora %s, taken %s from %s\n", s.formatVersion,
                s.header.schemaVersion, s.header.productVersion.c_str(), s.header.created.c_str(),
                s.header.source.c_str());
    for (const auto& [table, rows] : s.tables)
        std::printf("  %-14s %10llu rows\n", table.c_str(), static_cast<unsigned long long>(rows));
    std::printf("  checksum SHA-256 %s: sound\n", s.sha256.c_str());
    return 0;
}

int restore(const ServerOptions& o, const std::string& file) {
    RestoreOutcome r = restoreBackup(file, o.database, !o.restoreNoKeep);
    std::printf("restored %s into %s: %llu rows\n", file.c_str(), redactedLocation(o.database).c_str(),
                static_cast<unsigned long long>(r.rows));
    if (!r.kept.empty()) std::printf("the database it replaced is kept as %s\n", r.kept.c_str());
    std::printf("%s\n", r.auditResult.c_str());
    return 0;
}

int copy(const ServerOptions& o) {
    if (o.copyFrom.empty() || o.backupTo.empty()) throw VelmoraError("copy needs --from DB and --to DB");
    prepareSource(o.copyFrom);
    CopyOutcome r = copyDatabase(o.copyFrom, o.backupTo);
    for (size_t i = 0; i < r.source.size(); ++i) {
        const TableDigest& s = r.source[i];
        const TableDigest* t = i < r.target.size() ? &r.target[i] : nullptr;
        std::printf("  %-14s %10llu rows", s.name.c_str(), static_cast<unsigned long long>(s.rows));
        for (const auto& [column, sum] : s.sums) std::printf(", sum(%s) %.17g", column.c_str(), sum);
        bool same = t && t->rows == s.rows && t->sha256 == s.sha256 && t->sums == s.sums;
        std::printf(same ? "  equal\n" : "  DIFFERENT (target: %llu rows)\n",
                    t ? static_cast<unsigned long long>(t->rows) : 0ULL);
    }
    std::printf("%s\n", r.auditResult.c_str());
    if (!r.equal) {
        std::fprintf(stderr, "velmora-server: the copy does not match its source; %s was left as it was\n",
                     redactedLocation(o.backupTo).c_str());
        return 1;
    }
    std::printf("copied %s to %s: every table equal\n", redactedLocation(o.copyFrom).c_str(),
                redactedLocation(o.backupTo).c_str());
    return 0;
}

}  // namespace

int runBackupCommand(const ServerOptions& options) {
    const std::vector<std::string>& args = options.backupCommand;
    const std::string& verb = args[0];
    bool shaped = ((verb == "backup" || verb == "copy") && args.size() == 1) ||
                  ((verb == "verify" || verb == "restore") && args.size() == 2);
    if (!shaped) {
        std::fputs(serverUsage(), stderr);
        return 2;
    }
    try {
        if (verb == "backup") return backup(options);
        if (verb == "verify") return verify(args[1]);
        if (verb == "restore") return restore(options, args[1]);
        return copy(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n", e.what());
        return 1;
    }
}

}  // namespace velmora::server
