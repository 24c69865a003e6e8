#pragma once

#include <functional>
#include <memory>

#include "server/Database.h"

namespace velmora::server {

// The database connection of one client connection, opened only once its session has logged in:
// a peer that never logs in never costs one. Until then every use fails (the session refuses
// such requests before they get here). Used on the connection's thread only.
class SessionDatabase : public DbConnection {
  public:
    explicit SessionDatabase(std::function<std::unique_ptr<DbConnection>()> open) : open_(std::move(open)) {}

    // Opens the connection; does nothing when it is open already.
    void open();
    bool isOpen() const { return db_ != nullptr; }

    Dialect dialect() const override { return db().dialect(); }
    std::unique_ptr<DbQuery> query(const std::string& sql, const std::vector<DbValue>& params) override {
        return db().query(sql, params);
    }
    using DbConnection::clientQuery;
    std::unique_ptr<DbQuery> clientQuery(const std::string& sql, ClientReads reads) override {
        return db().clientQuery(sql, reads);
    }
    void setDeadline(Deadline deadline) override { db().setDeadline(deadline); }
    // Kept until the connection opens: the limit is set before the login.
    void setRowLimit(size_t maxBytes) override;
    void scrubDeletedContent() override { db().scrubDeletedContent(); }
    void compact() override { db().compact(); }
    int64_t execute(const std::string& sql, const std::vector<DbValue>& params) override {
        return db().execute(sql, params);
    }
    int64_t insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                               const std::string& keyColumn) override {
        return db().insertReturningKey(sql, params, keyColumn);
    }
    bool failedStatementSpoilsTransaction() const override { return db().failedStatementSpoilsTransaction(); }
    GuardedOutcome runGuarded(std::span<const GuardedStatement> statements) override {
        return db().runGuarded(statements);
    }
    void executeScript(const std::string& sql) override { db().executeScript(sql); }
    void begin() override { db().begin(); }
    void beginRead() override { db().beginRead(); }
    void commit() override { db().commit(); }
    void rollback() override { db().rollback(); }
    bool inTransaction() const override { return db_ && db_->inTransaction(); }
    bool isEmpty() override { return db().isEmpty(); }

  private:
    DbConnection& db() const;

    std::function<std::unique_ptr<DbConnection>()> open_;
    std::unique_ptr<DbConnection> db_;
    size_t rowLimit_ = 0;
};

}  // namespace velmora::server
