#pragma once
// The tables a backup or a copy carries, with the same columns on SQLite and PostgreSQL, and the
// two ends that move their rows: reading a database into a TableSink, and loading a TableSink's
// rows into a database with a fresh schema. The resume tokens of live sessions are not carried: a
// restored or copied database starts without sessions.

#include <cstdint>
#include <string>
#include <vector>

#include "server/BackupFormat.h"
#include "server/Database.h"

namespace velmora::server {

struct BackupTableDef {
    const char* name;
    std::vector<BackupColumn> columns;
    const char* sequenceColumn;  // the generated key, or nullptr
};

// The tables in the order they are written and restored.
const std::vector<BackupTableDef>& backupTables();
const BackupTableDef* findBackupTable(const std::string& name);

// The dialect's name as a backup header records it: "sqlite" or "postgresql".
const char* sourceName(Dialect dialect);

// Reads every table into sink. The caller holds a read transaction on db (beginRead), so that all
// tables come from one snapshot. Values are given their column's type where the database gave
// another form of the same value (an integer in a column of numbers is a number, a Boolean 0/1).
void readDatabase(DbConnection& db, TableSink& sink);

// Loads the rows it receives into db, whose schema is fresh (createSchema): each table is emptied
// first (the schema's own starting rows go), and its generated key continues after the backup's
// high-water mark. The caller holds the write transaction. A table or column this program does not
// know fails the load (a newer program made the backup).
class DatabaseLoader : public TableSink {
  public:
    explicit DatabaseLoader(DbConnection& db) : db_(db) {}
    void beginTable(const BackupTableHeader& table) override;
    void row(const std::vector<DbValue>& values) override;
    void endTable() override;
    // The rows loaded per table, in order.
    const std::vector<std::pair<std::string, uint64_t>>& loaded() const { return loaded_; }

  private:
    void flush();

    static constexpr size_t kRowsPerStatement = 100;
    DbConnection& db_;
    BackupTableHeader table_;
    std::vector<DbValue> pending_;
    size_t pendingRows_ = 0;
    int64_t maxKey_ = -1;
    size_t keyColumn_ = SIZE_MAX;
    std::vector<std::pair<std::string, uint64_t>> loaded_;
};

// What a table holds, to compare two databases: its rows, the sums of its number columns, and a
// SHA-256 over its rows' encoded values.
struct TableDigest {
    std::string name;
    uint64_t rows = 0;
    std::vector<std::pair<std::string, double>> sums;
    std::string sha256;
};

class DigestSink : public TableSink {
  public:
    void beginTable(const BackupTableHeader& table) override;
    void row(const std::vector<DbValue>& values) override;
    void endTable() override;
    const std::vector<TableDigest>& digests() const { return digests_; }

  private:
    std::unique_ptr<Sha256> hash_;
    std::vector<ColumnKind> kinds_;
    std::vector<TableDigest> digests_;
};

// Passes everything to both sinks.
class TeeSink : public TableSink {
  public:
    TeeSink(TableSink& a, TableSink& b) : a_(a), b_(b) {}
    void beginTable(const BackupTableHeader& t) override {
        a_.beginTable(t);
        b_.beginTable(t);
    }
    void row(const std::vector<DbValue>& v) override {
        a_.row(v);
        b_.row(v);
    }
    void endTable() override {
        a_.endTable();
        b_.endTable();
    }

  private:
    TableSink& a_;
    TableSink& b_;
};

}  // namespace velmora::server
