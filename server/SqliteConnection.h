#pragma once

#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/Database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace velmora::server {

// A connection to a SQLite database file in WAL mode. Writers wait for each other (busy timeout,
// IMMEDIATE transactions) instead of failing.
class SqliteConnection : public DbConnection {
  public:
    static constexpr int kBusyTimeoutMs = 10000;
    static constexpr int kMaxValueBytes = 64 << 20;     // one text or blob
    static constexpr int kMaxStatementBytes = 1 << 20;  // one statement's text
    static constexpr int kProgressSteps = 1000;         // virtual machine steps between deadline checks

    // Opens (and, with create, creates) the file; fails with the database's message.
    SqliteConnection(const std::string& path, bool create, Durability durability = Durability::Full);
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    Dialect dialect() const override { return Dialect::Sqlite; }
    std::unique_ptr<DbQuery> query(const std::string& sql, const std::vector<DbValue>& params) override;
    using DbConnection::clientQuery;
    std::unique_ptr<DbQuery> clientQuery(const std::string& sql, ClientReads reads) override;
    void setDeadline(Deadline deadline) override { deadline_ = deadline; }
    // SQLite caps every value itself (SQLITE_LIMIT_LENGTH), so no row outgrows the result limit by much.
    void setRowLimit(size_t) override {}
    void scrubDeletedContent() override;
    void compact() override;
    int64_t execute(const std::string& sql, const std::vector<DbValue>& params) override;
    int64_t insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                               const std::string& keyColumn) override;
    bool failedStatementSpoilsTransaction() const override { return false; }
    void executeScript(const std::string& sql) override;
    void begin() override;
    void beginRead() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    bool isEmpty() override;

    sqlite3* handle() { return db_; }

    struct CacheEntry {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    // A prepared statement lent out; entry is null for one that is not cached.
    struct Statement {
        sqlite3_stmt* stmt;
        CacheEntry* entry;
    };
    Statement acquire(const std::string& sql);
    // Resets a statement for its next use (or finalizes one that is not cached).
    void release(const Statement& statement);

  private:
    static constexpr size_t kCachedStatements = 64;
    static int progress(void* self);
    static int authorize(void* self, int action, const char* a, const char* b, const char* database,
                         const char* trigger);
    sqlite3_stmt* prepare(const std::string& sql);
    // Whether a client statement may read table (of database; null for a CTE or subquery).
    bool mayRead(std::string_view table, const char* database);
    // Compiles a client statement under the authorizer; null when judging it needs the schema's
    // names and they were not read for it.
    sqlite3_stmt* prepareJudged(const std::string& sql);
    void loadSchemaNames();

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, CacheEntry> cache_;
    Deadline deadline_;
    bool judging_ = false;  // a client's statement is being prepared: the authorizer judges it
    std::string refusal_;   // what the authorizer refused in the statement being prepared
    ClientReads reads_ = ClientReads::Everything;  // what the statement being prepared may read
    bool reportsRefused_ = false;        // the authorizer refused the statement a read of the reports
    std::set<std::string> schemaNames_;  // every table, view and index, lower case
    int64_t schemaVersion_ = -1;         // the schema's version when schemaNames_ was read
    bool namesFresh_ = false;            // schemaNames_ was brought up to date for this statement
    bool namesWanted_ = false;           // the authorizer needed schemaNames_ and found them stale
};

}  // namespace velmora::server
