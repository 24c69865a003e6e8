#pragma once
// The server's view of its database: one connection per client thread, statements with bound
// parameters, and IMMEDIATE write transactions. SQLite and PostgreSQL sit behind it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transport/Errors.h"

namespace velmora::server {

// A client's command text that the database refused to run: it would write, name something a
// client may not read, or hold more than one statement.
class StatementRefused : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// A statement stopped because the deadline set on its connection passed.
class QueryTimeout : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// The text a client is told when its command text would do more than read.
std::string readOnlyRefusal(const std::string& what);

// What a client's command text may read: every table and view a client reads, or all of them but
// the report view xsdview (a user without the right view_reports).
enum class ClientReads { Everything, WithoutReports };
// The text a user without the right view_reports is told when a command text reads the reports.
constexpr const char* kReportsRefused = "没有权限：查看报表 (reading the reports is not among your rights)";

enum class DbType { Null, Integer, Float, Text };

// A parameter or a value read back.
struct DbValue {
    DbType type = DbType::Null;
    int64_t integer = 0;
    double real = 0;
    std::string text;
    std::string_view kept;  // a text held elsewhere (see ofKeptText)

    static DbValue null() { return {}; }
    static DbValue ofInteger(int64_t v) { return {DbType::Integer, v, 0, {}, {}}; }
    static DbValue ofFloat(double v) { return {DbType::Float, 0, v, {}, {}}; }
    static DbValue ofText(std::string v) { return {DbType::Text, 0, 0, std::move(v), {}}; }
    // A text that stays where it is until the statement has run, so it is not copied (an apply
    // binds its values straight from the change packet).
    static DbValue ofKeptText(std::string_view v) { return {DbType::Text, 0, 0, {}, v.data() ? v : ""}; }
    std::string_view textValue() const { return kept.data() ? kept : std::string_view(text); }
};

// The rows of one statement, stepped one at a time; column accessors refer to the current row and
// stay valid until the next step.
class DbQuery {
  public:
    virtual ~DbQuery() = default;
    virtual size_t columnCount() const = 0;
    virtual std::string columnName(size_t column) const = 0;
    // The column's declared type in the schema, lower case; empty for an expression.
    virtual std::string declaredType(size_t column) const = 0;
    virtual bool next() = 0;
    virtual DbType type(size_t column) const = 0;
    virtual int64_t integer(size_t column) const = 0;
    virtual double real(size_t column) const = 0;
    virtual std::string_view text(size_t column) const = 0;
};

// The SQL dialects behind the seam; only the schema and the user store's order ask for it.
enum class Dialect { Sqlite, Postgres };

// One statement of a run (see DbConnection::runGuarded).
struct GuardedStatement {
    const std::string* sql = nullptr;
    std::vector<DbValue> params;
    const std::string* keyColumn = nullptr;  // an insert whose generated key is wanted
};

// How a run went: the first `done` statements hold; the one after them failed with error and
// left nothing behind, and the rest were not tried.
struct GuardedOutcome {
    size_t done = 0;
    std::vector<int64_t> keys;  // per statement that holds: its generated key, or 0
    std::string error;
};

class DbConnection {
  public:
    virtual ~DbConnection() = default;
    virtual Dialect dialect() const = 0;
    // Runs any statement; a statement that returns no rows gives a query with no columns.
    virtual std::unique_ptr<DbQuery> query(const std::string& sql,
                                           const std::vector<DbValue>& params = {}) = 0;
    // Runs a command text a client sent: one statement that only reads the product's tables and
    // view, checked by the database before it runs; anything else fails with StatementRefused.
    // Without the reports, reading xsdview or the sales totals fails with
    // StatementRefused(kReportsRefused).
    virtual std::unique_ptr<DbQuery> clientQuery(const std::string& sql, ClientReads reads) = 0;
    std::unique_ptr<DbQuery> clientQuery(const std::string& sql) {
        return clientQuery(sql, ClientReads::Everything);
    }
    // Statements on this connection fail with QueryTimeout once deadline passes; none: no limit.
    virtual void setDeadline(Deadline deadline) = 0;
    // A row of a command text's result larger than maxBytes fails with ResultTooLarge before the
    // server holds it (0: no limit). A database that caps each value itself may ignore it.
    virtual void setRowLimit(size_t maxBytes) = 0;
    // From now on, deleted content is overwritten in the file (for secrets that must not linger).
    virtual void scrubDeletedContent() = 0;
    // Rewrites the database without free pages and empties its log (no transaction may be open).
    virtual void compact() = 0;
    // Runs a statement that returns no rows and returns the number of rows it changed.
    virtual int64_t execute(const std::string& sql, const std::vector<DbValue>& params = {}) = 0;
    // Runs an insert and returns the value the database generated for keyColumn.
    virtual int64_t insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                                       const std::string& keyColumn) = 0;
    // True where one failed statement leaves the whole transaction unusable, so that each record
    // of an apply needs a savepoint of its own.
    virtual bool failedStatementSpoilsTransaction() const = 0;
    // Runs statements in order as if each had a savepoint of its own, up to the first that fails.
    // Where a round trip costs more than a statement, the run is sent without waiting for its
    // answers; a failure of the database itself (not of a statement) throws.
    virtual GuardedOutcome runGuarded(std::span<const GuardedStatement> statements);
    // Runs a script of several statements without parameters (schema, demo data).
    virtual void executeScript(const std::string& sql) = 0;
    // Begins a write transaction that holds the write lock from its start.
    virtual void begin() = 0;
    // Begins a transaction that only reads, so that several queries see one snapshot.
    virtual void beginRead() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
    // True when the database has no tables yet.
    virtual bool isEmpty() = 0;
};

// Rolls back on scope exit unless committed: a client that drops mid-call leaves nothing open.
// A transaction, rolled back unless committed. One begun while another is open joins it: its
// commit leaves the committing to the outer one, and a failure that leaves it uncommitted rolls
// back the whole (the outer one cannot commit what failed inside it). So a step that keeps its
// own transaction can run inside a caller's, which then adds its own writes (an audit row) to
// the same transaction.
class Transaction {
  public:
    enum AlreadyBegun { kAlreadyBegun };
    explicit Transaction(DbConnection& db) : db_(db), joined_(db.inTransaction()) {
        if (!joined_) db_.begin();
    }
    Transaction(DbConnection& db, AlreadyBegun) : db_(db) {}
    ~Transaction() {
        if (!done_) {
            try {
                db_.rollback();
            } catch (...) {
            }
        }
    }
    void commit() {
        if (!joined_) db_.commit();
        done_ = true;
    }
    void rollback() {
        db_.rollback();
        done_ = true;
    }

  private:
    DbConnection& db_;
    bool joined_ = false;
    bool done_ = false;
};

// When an apply is acknowledged: Full, only once it would survive a power cut; Normal, once the
// database has it, at the risk of losing the last commits in a power cut (not in a crash of the
// server alone).
enum class Durability { Full, Normal };

struct DatabaseOptions {
    std::string readerLocation;  // PostgreSQL: where command texts run (empty: derived)
    Durability durability = Durability::Full;
};

// Opens a connection to location: a SQLite file path, or a PostgreSQL URI. create: a SQLite file
// that does not exist is created.
std::unique_ptr<DbConnection> openDatabase(const std::string& location, bool create,
                                           const DatabaseOptions& options = {});

}  // namespace velmora::server
