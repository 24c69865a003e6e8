#pragma once

#include <string>

#include "Database.h"

struct sqlite3;

namespace velmora::server {

// A connection to a SQLite database file in WAL mode. Writers wait for each other (busy timeout,
// IMMEDIATE transactions) instead of failing.
class SqliteConnection : public DbConnection {
public:
    static constexpr int kBusyTimeoutMs = 10000;

    // Opens (and, with create, creates) the file; fails with the database's message.
    SqliteConnection(const std::string& path, bool create);
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    std::unique_ptr<DbQuery> query(const std::string& sql, const std::vector<DbValue>& params) override;
    int64_t execute(const std::string& sql, const std::vector<DbValue>& params) override;
    void executeScript(const std::string& sql) override;
    void begin() override;
    void beginRead() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    bool isEmpty() override;

    sqlite3* handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace velmora::server
