#pragma once

#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/Database.h"
#include "server/PgLink.h"

struct pg_conn;
struct pg_result;

namespace velmora::server {

// True when location names a PostgreSQL database (a postgresql:// or postgres:// URI) rather
// than a SQLite file.
bool isPostgresLocation(const std::string& location);

// location as it may be logged: a password in it is replaced by "***".
std::string redactedLocation(const std::string& location);

// A connection to a PostgreSQL database through libpq. Statements take "?" placeholders like
// SQLite's; a client's command text runs on a second connection that logs in as the reader role,
// which may only read the product's tables and view, in a read-only transaction. A query's rows
// are read there one by one as the database sends them, and packed while it produces the rest.
// The server's own writes are prepared once per connection. A SAVEPOINT or RELEASE is sent
// without waiting for its answer, which is read with the next statement's; an error of such a
// statement is thrown by the next one (it is never lost). A run of an apply's inserts
// (runGuarded) goes in one round trip.
// A command text must first pass the allow-list (checkPostgresQuery). Either connection, when
// lost, is opened again for the next call; what cannot have committed (a BEGIN, a read outside a
// transaction) is retried once on the new one, and anything else fails with a message that says
// whether the change may have been stored.
class PgConnection : public DbConnection {
  public:
    // owner: the connection string the server writes through; reader: the one command texts run
    // on (empty: the owner's with the user kReaderRole). Fails with the database's message.
    explicit PgConnection(const std::string& owner, std::string reader = {},
                          Durability durability = Durability::Full);
    ~PgConnection() override;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    static constexpr const char* kReaderRole = "velmora_reader";

    Dialect dialect() const override { return Dialect::Postgres; }
    std::unique_ptr<DbQuery> query(const std::string& sql, const std::vector<DbValue>& params) override;
    using DbConnection::clientQuery;
    std::unique_ptr<DbQuery> clientQuery(const std::string& sql, ClientReads reads) override;
    void setDeadline(Deadline deadline) override { deadline_ = deadline; }
    void setRowLimit(size_t maxBytes) override { rowLimit_ = maxBytes; }
    void scrubDeletedContent() override {}
    void compact() override;
    int64_t execute(const std::string& sql, const std::vector<DbValue>& params) override;
    int64_t insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                               const std::string& keyColumn) override;
    bool failedStatementSpoilsTransaction() const override { return true; }
    GuardedOutcome runGuarded(std::span<const GuardedStatement> statements) override;
    void executeScript(const std::string& sql) override;
    void begin() override;
    void beginRead() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    bool isEmpty() override;

    // Opens the reader's connection now rather than at the first command text, so that a server
    // whose reader cannot log in (a password the location lacks) refuses to start. Fails with the
    // database's message.
    void openReader() { readerReady(); }

    // The reader's connection string for owner: the same database, the reader role as user.
    static std::string readerConnectionString(const std::string& owner);

    // At most this many statements stay prepared; past it, the cache is emptied before the next
    // transaction begins.
    static constexpr size_t kMaxPrepared = 200;

  private:
    // What the owner's connection owes an answer for, in the order it was sent.
    struct Sent {
        std::string text;
        bool preparing;  // the statement's preparation rather than its run
    };
    // Runs a statement of the server's own on the owner's connection; nullptr for one sent
    // without waiting (see above). prepare: a statement that returns no rows (or a RETURNING
    // of fixed type), kept prepared; a query's columns may change with its tables, so a query
    // is parsed afresh every time.
    pg_result* run(const std::string& sql, const std::vector<DbValue>& params, bool prepare);
    // Reads the answers of every statement sent so far; the last one's result is returned when
    // keepLast (nullptr otherwise). Throws the first error among them.
    pg_result* collect(bool keepLast);
    // Queues converted, by its prepared name where it has one; libpq's 1 when it is queued.
    int sendStatement(const std::string& converted, const std::string* name,
                      const std::vector<DbValue>& params);
    // The name of converted (with $n placeholders) prepared on the owner's connection; its
    // preparation is sent first where it is new (see Sent).
    // nullptr once kMaxPrepared are prepared.
    const std::string* preparedName(const std::string& converted, int parameters);
    // runGuarded on a connection known to be open.
    GuardedOutcome guardedRun(std::span<const GuardedStatement> statements);
    // Sends statements [0, count) of a run inside one savepoint and reads their answers: count
    // when all held, else the index of the one that failed (and error), after rolling the run back.
    size_t attempt(std::span<const GuardedStatement> statements, size_t count, std::vector<int64_t>& keys,
                   std::string& error);
    // Queues the savepoint, statements [0, count) of a run and the release; returns what was sent.
    std::vector<Sent> sendRun(std::span<const GuardedStatement> statements, size_t count);
    // Reads a run's answers up to the pipeline's sync: the index of the statement that failed
    // first (count when none did) and its error; the keys of the statements before it; in fatal,
    // the first failure outside the run's statements.
    size_t readRun(std::span<const GuardedStatement> statements, size_t count, const std::vector<Sent>& sent,
                   std::vector<int64_t>& keys, std::string& error, std::string& fatal);
    // collect(false) where statements are outstanding; runs sql on the owner's connection.
    void execOwn(const std::string& sql);
    // begin, preceded by forgetting the prepared statements once there are kMaxPrepared.
    std::string beginning(const char* begin);

    // Whether a statement that lost its connection may be sent again on a new one.
    enum class Retry { No, Yes };
    // Runs fn, which uses conn_, as one call on the owner's connection: a connection lost while
    // idle is opened again first; one lost during fn fails the transaction it was in, or is opened
    // again for one more try of fn when retry allows and no transaction was open.
    template <typename Fn>
    auto onOwner(Retry retry, Fn fn);
    // True while a transaction is open on the owner's connection, as far as this side knows.
    bool transactionOpen() const;
    // conn_, opened again where it was lost while idle.
    void ensureOwner();
    // Forgets the owner's session after its connection broke: its prepared statements, the
    // answers it owed and its snapshot went with it.
    void dropOwner();
    // The reader's connection, opened again where it was lost while idle.
    pg_conn* readerReady();
    // Begins the reader's transaction and sends sql; the stream of its rows.
    std::unique_ptr<DbQuery> startClientQuery(pg_conn* r, const std::string& sql, long long timeoutMs);

    PgLink owner_;
    PgLink reader_;
    pg_conn* conn_ = nullptr;       // owner_'s connection while it is open
    bool inTransaction_ = false;    // between begin and commit or rollback
    bool lostTransaction_ = false;  // the connection broke inside it: its statements fail until it ends
    size_t rowLimit_ = 0;
    std::string snapshot_;  // exported by beginRead, so command texts read the same snapshot
    std::unordered_map<std::string, std::string> prepared_;  // statement text -> its name
    int statementNumber_ = 0;
    std::vector<Sent> sent_;
    Deadline deadline_;
};

// Rewrites "?" placeholders (outside quotes) as $1, $2, ...; "is ?" becomes "is not distinct
// from $n", the null-safe comparison SQLite spells "is".
std::string postgresPlaceholders(const std::string& sql);

}  // namespace velmora::server
