#include "server/SqliteConnection.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "data/FieldDef.h"
#include "server/Schema.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

// Only the progress handler interrupts a statement here: the connection's deadline passed.
[[noreturn]] void fail(sqlite3* db) {
    if (sqlite3_errcode(db) == SQLITE_INTERRUPT) throw QueryTimeout("The statement ran past its time limit");
    throw VelmoraError(sqlite3_errmsg(db));
}

// Functions a command text may not call even though they read nothing.
bool isForbiddenFunction(const char* name) {
    static constexpr const char* kForbidden[] = {"load_extension", "fts3_tokenizer", "readfile", "writefile",
                                                 "edit"};
    for (const char* f : kForbidden)
        if (name && sqlite3_stricmp(name, f) == 0) return true;
    return false;
}

void bindAll(sqlite3* db, sqlite3_stmt* stmt, const std::vector<DbValue>& params,
             sqlite3_destructor_type copy) {
    for (size_t i = 0; i < params.size(); ++i) {
        int at = static_cast<int>(i) + 1;
        const DbValue& p = params[i];
        int rc = SQLITE_OK;
        switch (p.type) {
            case DbType::Null:
                rc = sqlite3_bind_null(stmt, at);
                break;
            case DbType::Integer:
                rc = sqlite3_bind_int64(stmt, at, p.integer);
                break;
            case DbType::Float:
                rc = sqlite3_bind_double(stmt, at, p.real);
                break;
            case DbType::Text:
                rc = sqlite3_bind_text(stmt, at, p.textValue().data(), static_cast<int>(p.textValue().size()),
                                       copy);
                break;
        }
        if (rc != SQLITE_OK) fail(db);
    }
}

}  // namespace

class SqliteQuery : public DbQuery {
  public:
    SqliteQuery(SqliteConnection& owner, SqliteConnection::Statement statement)
        : owner_(owner), db_(owner.handle()), statement_(statement), stmt_(statement.stmt) {}
    ~SqliteQuery() override { owner_.release(statement_); }

    size_t columnCount() const override { return static_cast<size_t>(sqlite3_column_count(stmt_)); }
    std::string columnName(size_t c) const override {
        const char* name = sqlite3_column_name(stmt_, static_cast<int>(c));
        return name ? name : "";
    }
    std::string declaredType(size_t c) const override {
        const char* type = sqlite3_column_decltype(stmt_, static_cast<int>(c));
        std::string lower = type ? type : "";
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        return lower;
    }
    bool next() override {
        if (done_) return false;
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        done_ = true;
        if (rc != SQLITE_DONE) fail(db_);
        return false;
    }
    DbType type(size_t c) const override {
        switch (sqlite3_column_type(stmt_, static_cast<int>(c))) {
            case SQLITE_INTEGER:
                return DbType::Integer;
            case SQLITE_FLOAT:
                return DbType::Float;
            case SQLITE_NULL:
                return DbType::Null;
            default:
                return DbType::Text;
        }
    }
    int64_t integer(size_t c) const override { return sqlite3_column_int64(stmt_, static_cast<int>(c)); }
    sqlite3_stmt* statement() { return stmt_; }
    double real(size_t c) const override { return sqlite3_column_double(stmt_, static_cast<int>(c)); }
    std::string_view text(size_t c) const override {
        const auto* p = sqlite3_column_text(stmt_, static_cast<int>(c));
        int n = sqlite3_column_bytes(stmt_, static_cast<int>(c));
        return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
                 : std::string_view();
    }

  private:
    SqliteConnection& owner_;
    sqlite3* db_;
    SqliteConnection::Statement statement_;
    sqlite3_stmt* stmt_;
    bool done_ = false;
};

SqliteConnection::SqliteConnection(const std::string& path, bool create, Durability durability) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw VelmoraError(formatText("Cannot open database %s: %s", path.c_str(), message.c_str()));
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    // Nothing a client sends may reach another file, a schema trick or a value of unbounded size.
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    sqlite3_limit(db_, SQLITE_LIMIT_SQL_LENGTH, kMaxStatementBytes);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_progress_handler(db_, kProgressSteps, progress, this);
    // Installed once: installing an authorizer makes SQLite compile every cached statement anew,
    // and an insert into the order lines compiles their triggers with it. It judges only while
    // a client's statement is prepared (judging_).
    sqlite3_set_authorizer(db_, authorize, this);
    // In WAL mode FULL syncs the log at every commit, so an acknowledged apply survives a power
    // cut; NORMAL syncs only at checkpoints.
    executeScript("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON;");
    executeScript(durability == Durability::Full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
}

int SqliteConnection::progress(void* self) {
    const Deadline& deadline = static_cast<SqliteConnection*>(self)->deadline_;
    return deadline && std::chrono::steady_clock::now() >= *deadline ? 1 : 0;
}

int SqliteConnection::authorize(void* self, int action, const char* a, const char* b, const char* database,
                                const char* view) {
    auto* connection = static_cast<SqliteConnection*>(self);
    std::string& refusal = connection->refusal_;
    auto deny = [&](std::string what) {
        if (refusal.empty()) refusal = std::move(what);
        return SQLITE_DENY;
    };
    if (!connection->judging_) return SQLITE_OK;  // the server's own statements
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_READ:
            // The report view's columns are read as its tables' columns, on behalf of the view.
            if (connection->reads_ == ClientReads::WithoutReports &&
                ((a && isReportTable(a)) || (view && sameName(view, kReportView)))) {
                connection->reportsRefused_ = true;
                return deny("reading the reports");
            }
            return connection->mayRead(a ? a : "", database) ? SQLITE_OK
                                                             : deny(std::string("reading ") + (a ? a : "?"));
        case SQLITE_FUNCTION:
            return isForbiddenFunction(b) ? deny(std::string("calling ") + b) : SQLITE_OK;
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
            return deny(std::string("writing ") + (a ? a : "?"));
        case SQLITE_PRAGMA:
            return deny("PRAGMA");
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            return deny("transaction control");
        case SQLITE_ATTACH:
        case SQLITE_DETACH:
            return deny("ATTACH/DETACH");
        default:
            return deny("changing the schema");
    }
}

bool SqliteConnection::mayRead(std::string_view table, const char* database) {
    if (isClientReadable(table)) return true;
    // Reads without a database are of a common table expression or a subquery (or a count of a
    // whole table, named as such); a name of the schema itself is never one of those.
    if (database) return false;
    // Telling the two apart takes the schema's names, which the everyday statements never need:
    // they are read for a statement that does, which is then compiled once more.
    if (!namesFresh_) {
        namesWanted_ = true;
        return false;
    }
    std::string lower(table);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return !schemaNames_.count(lower) && lower.rfind("sqlite_", 0) != 0 && lower.rfind("pragma_", 0) != 0;
}

void SqliteConnection::loadSchemaNames() {
    // The names change only with the schema, which counts its changes.
    auto version = query("PRAGMA schema_version", {});
    int64_t current = version->next() ? version->integer(0) : -1;
    version.reset();
    if (current == schemaVersion_ && current >= 0) return;
    schemaVersion_ = current;
    schemaNames_.clear();
    auto q = query("select lower(name) from sqlite_master", {});
    while (q->next()) schemaNames_.insert(std::string(q->text(0)));
}

sqlite3_stmt* SqliteConnection::prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const char* rest = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                           &rest) != SQLITE_OK)
        fail(db_);
    if (!stmt) throw VelmoraError("The command text is empty");
    // One statement per command text: what follows it is refused, not silently dropped.
    for (; rest && *rest; ++rest) {
        if (!std::isspace(static_cast<unsigned char>(*rest)) && *rest != ';') {
            sqlite3_finalize(stmt);
            throw StatementRefused("Only one statement may be sent at a time");
        }
    }
    return stmt;
}

std::unique_ptr<DbQuery> SqliteConnection::clientQuery(const std::string& sql, ClientReads reads) {
    if (sql.find('\0') != std::string::npos) throw StatementRefused(readOnlyRefusal("a NUL character"));
    reads_ = reads;
    // The authorizer judges the statement as the database compiles it, whatever its spelling;
    // client statements are never cached, so none is run without that judgement.
    namesFresh_ = false;
    sqlite3_stmt* stmt = prepareJudged(sql);
    if (!stmt) {
        loadSchemaNames();
        namesFresh_ = true;
        stmt = prepareJudged(sql);
    }
    // Statements the authorizer never sees, such as VACUUM, still declare that they write.
    if (!sqlite3_stmt_readonly(stmt)) {
        sqlite3_finalize(stmt);
        throw StatementRefused(readOnlyRefusal("writing"));
    }
    return std::make_unique<SqliteQuery>(*this, Statement{stmt, nullptr});
}

sqlite3_stmt* SqliteConnection::prepareJudged(const std::string& sql) {
    refusal_.clear();
    reportsRefused_ = false;
    namesWanted_ = false;
    judging_ = true;
    sqlite3_stmt* stmt = nullptr;
    try {
        stmt = prepare(sql);
    } catch (const VelmoraError&) {
        judging_ = false;
        if (reportsRefused_) throw StatementRefused(kReportsRefused);
        if (namesWanted_ && !namesFresh_) return nullptr;
        if (!refusal_.empty()) throw StatementRefused(readOnlyRefusal(refusal_));
        throw;
    }
    judging_ = false;
    return stmt;
}

void SqliteConnection::scrubDeletedContent() {
    executeScript("PRAGMA secure_delete=ON");
}

void SqliteConnection::compact() {
    // VACUUM builds the new file as an attached database.
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 1);
    try {
        executeScript("VACUUM; PRAGMA wal_checkpoint(TRUNCATE);");
    } catch (...) {
        sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
        throw;
    }
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
}

SqliteConnection::~SqliteConnection() {
    for (auto& [sql, entry] : cache_) sqlite3_finalize(entry.stmt);
    if (db_) sqlite3_close_v2(db_);
}

SqliteConnection::Statement SqliteConnection::acquire(const std::string& sql) {
    // A statement that ran before comes from the cache: an apply repeats a few texts thousands
    // of times. The same text in use twice at once gets a statement of its own.
    auto cached = cache_.find(sql);
    if (cached != cache_.end() && !cached->second.inUse) {
        cached->second.inUse = true;
        return {cached->second.stmt, &cached->second};
    }
    sqlite3_stmt* stmt = prepare(sql);
    if (cached == cache_.end() && cache_.size() < kCachedStatements) {
        CacheEntry& entry = cache_[sql];
        entry.stmt = stmt;
        entry.inUse = true;
        return {stmt, &entry};
    }
    return {stmt, nullptr};
}

void SqliteConnection::release(const Statement& statement) {
    if (!statement.entry) {
        sqlite3_finalize(statement.stmt);
        return;
    }
    sqlite3_reset(statement.stmt);
    sqlite3_clear_bindings(statement.stmt);
    statement.entry->inUse = false;
}

std::unique_ptr<DbQuery> SqliteConnection::query(const std::string& sql, const std::vector<DbValue>& params) {
    auto q = std::make_unique<SqliteQuery>(*this, acquire(sql));
    bindAll(db_, q->statement(), params, SQLITE_TRANSIENT);
    return q;
}

int64_t SqliteConnection::execute(const std::string& sql, const std::vector<DbValue>& params) {
    Statement statement = acquire(sql);
    struct Release {
        SqliteConnection& c;
        Statement& s;
        ~Release() { c.release(s); }
    } release{*this, statement};
    // The parameters outlive this call, so they are bound without copies.
    bindAll(db_, statement.stmt, params, SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(statement.stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) fail(db_);
    return sqlite3_changes64(db_);
}

int64_t SqliteConnection::insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                                             const std::string&) {
    // Generated keys here are INTEGER PRIMARY KEY columns, which are the row id itself.
    execute(sql, params);
    return sqlite3_last_insert_rowid(db_);
}

void SqliteConnection::executeScript(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw VelmoraError(message);
    }
}

void SqliteConnection::begin() {
    executeScript("BEGIN IMMEDIATE");
}
void SqliteConnection::beginRead() {
    executeScript("BEGIN");
}
void SqliteConnection::commit() {
    executeScript("COMMIT");
}
void SqliteConnection::rollback() {
    if (inTransaction()) executeScript("ROLLBACK");
}
bool SqliteConnection::inTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

bool SqliteConnection::isEmpty() {
    auto q = query("select count(*) from sqlite_master where type='table'", {});
    return q->next() && q->integer(0) == 0;
}

}  // namespace velmora::server
