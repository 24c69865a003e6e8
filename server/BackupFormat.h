#pragma once
// The portable backup file: the product's tables with their rows in a typed encoding, readable by
// SQLite and PostgreSQL alike, sealed by a SHA-256 over every byte before it (see
// docs/backup-format.md). A reader trusts nothing in the file: every length is checked against
// its limit before anything is allocated, and a damaged or cut file fails with BackupDamaged.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "server/Database.h"
#include "server/Sha256.h"

namespace velmora::server {

// A backup file that cannot be trusted: its text says where and why.
class BackupDamaged : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// What a column holds; a value of another type is kept as it was stored (SQLite allows it).
enum class ColumnKind : uint8_t { Text = 1, Integer = 2, Real = 3, Boolean = 4 };

struct BackupColumn {
    std::string name;
    ColumnKind kind = ColumnKind::Text;
};

// One table as the file carries it: its columns and the high-water mark of its generated key
// (-1 where it has none), so that a restored database never hands out a key used before.
struct BackupTableHeader {
    std::string name;
    int64_t sequence = -1;
    std::vector<BackupColumn> columns;
};

// Who made the backup, of what, and when.
struct BackupHeader {
    int schemaVersion = 0;
    std::string productVersion;
    std::string created;  // UTC, ISO 8601
    std::string source;   // "sqlite" or "postgresql"
};

// What a sound file holds: its header, the tables in order with their row counts, its digest.
struct BackupSummary {
    uint32_t formatVersion = 0;
    BackupHeader header;
    std::vector<std::pair<std::string, uint64_t>> tables;
    std::string sha256;  // hex
};

// Receives tables and their rows in order: a database read, a backup file, a copy.
class TableSink {
  public:
    virtual ~TableSink() = default;
    virtual void beginTable(const BackupTableHeader& table) = 0;
    virtual void row(const std::vector<DbValue>& values) = 0;
    virtual void endTable() = 0;
};

// Writes a backup file at path (created or truncated). finish() seals it and syncs it to disk;
// a writer destroyed before finish() leaves an unfinished file for the caller to remove.
class BackupWriter : public TableSink {
  public:
    static constexpr uint32_t kFormatVersion = 1;

    BackupWriter(const std::string& path, const BackupHeader& header);
    ~BackupWriter() override;
    BackupWriter(const BackupWriter&) = delete;
    BackupWriter& operator=(const BackupWriter&) = delete;

    void beginTable(const BackupTableHeader& table) override;
    void row(const std::vector<DbValue>& values) override;
    void endTable() override;
    // Returns the file's size in bytes.
    uint64_t finish();

  private:
    void put(const void* data, size_t size);
    void putU8(uint8_t v) { put(&v, 1); }
    void putU32(uint32_t v);
    void putU64(uint64_t v);
    void putText(std::string_view text);

    std::string path_;
    std::FILE* file_ = nullptr;
    Sha256 hash_;
    uint64_t bytes_ = 0;
    size_t columns_ = 0;
    uint64_t rows_ = 0;
    std::vector<std::pair<std::string, uint64_t>> tables_;
};

// Reads the whole file at path into sink (nullptr: only checks it) and returns its summary. The
// digest is checked at the end: a sink that must not act on a damaged file reads a file that
// verified before.
BackupSummary readBackup(const std::string& path, TableSink* sink);

// Checks every byte of the file at path; throws BackupDamaged (or VelmoraError when it cannot be
// read at all).
inline BackupSummary verifyBackup(const std::string& path) {
    return readBackup(path, nullptr);
}

// Writes data to path's directory entry durably: fsync of the file, then of its directory.
void syncFile(const std::string& path);
void syncDirectoryOf(const std::string& path);

}  // namespace velmora::server
