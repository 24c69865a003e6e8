#pragma once
// A database connection that fails on purpose, for tests of what a failure leaves behind: it
// passes everything to a real connection but, when told, fails the Nth statement, the commit or
// the begin, with an error of its own or with the database's "busy" answer (SQLite's
// SQLITE_BUSY, PostgreSQL's serialization failure). A failed call reaches the real connection not
// at all, so it leaves nothing behind there, as a failed statement of the database itself does.

#include <cstddef>
#include <optional>
#include <set>
#include <string>

#include "server/Database.h"

namespace velmora::server {

class FaultyConnection : public DbConnection {
  public:
    enum class Fault { Error, Busy };
    // The text of an injected error, so that a test can tell it from a real one.
    static constexpr const char* kInjected = "injected failure";

    // real must outlive this connection.
    explicit FaultyConnection(DbConnection& real) : real_(real) {}

    // The nth statement from now (counted from 1) fails; every other one runs. Statements of a
    // run count one by one. Called again, more statements fail (with the fault given last).
    void failStatement(size_t n, Fault fault = Fault::Error);
    void failCommit(Fault fault = Fault::Error) { commitFault_ = fault; }
    void failBegin(Fault fault = Fault::Busy) { beginFault_ = fault; }
    // Statements run (or failed) since this connection was made.
    size_t statements() const { return statements_; }
    // Whether the fault asked for has happened.
    bool injected() const { return injected_; }

    Dialect dialect() const override { return real_.dialect(); }
    std::unique_ptr<DbQuery> query(const std::string& sql, const std::vector<DbValue>& params) override;
    std::unique_ptr<DbQuery> clientQuery(const std::string& sql, ClientReads reads) override;
    void setDeadline(Deadline deadline) override { real_.setDeadline(deadline); }
    void setRowLimit(size_t maxBytes) override { real_.setRowLimit(maxBytes); }
    void scrubDeletedContent() override { real_.scrubDeletedContent(); }
    void compact() override { real_.compact(); }
    int64_t execute(const std::string& sql, const std::vector<DbValue>& params) override;
    int64_t insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                               const std::string& keyColumn) override;
    bool failedStatementSpoilsTransaction() const override {
        return real_.failedStatementSpoilsTransaction();
    }
    GuardedOutcome runGuarded(std::span<const GuardedStatement> statements) override;
    void executeScript(const std::string& sql) override;
    void begin() override;
    void beginRead() override { real_.beginRead(); }
    void commit() override;
    void rollback() override { real_.rollback(); }
    bool inTransaction() const override { return real_.inTransaction(); }
    bool isEmpty() override { return real_.isEmpty(); }

  private:
    // Counts one statement; throws when it is the one to fail.
    void statement();
    [[noreturn]] void raise(Fault fault);

    DbConnection& real_;
    size_t statements_ = 0;
    std::set<size_t> failing_;  // the statements' numbers, counted as statements_
    Fault statementFault_ = Fault::Error;
    std::optional<Fault> commitFault_;
    std::optional<Fault> beginFault_;
    bool injected_ = false;
};

}  // namespace velmora::server
