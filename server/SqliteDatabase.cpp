#include "SqliteDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

#include "Errors.h"

namespace velmora::server {

namespace {

[[noreturn]] void fail(sqlite3* db) { throw VelmoraError(sqlite3_errmsg(db)); }

void bindAll(sqlite3* db, sqlite3_stmt* stmt, const std::vector<DbValue>& params) {
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
                rc = sqlite3_bind_text(stmt, at, p.text.data(), static_cast<int>(p.text.size()), SQLITE_TRANSIENT);
                break;
        }
        if (rc != SQLITE_OK) fail(db);
    }
}

class SqliteQuery : public DbQuery {
public:
    SqliteQuery(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    ~SqliteQuery() override { sqlite3_finalize(stmt_); }

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
    double real(size_t c) const override { return sqlite3_column_double(stmt_, static_cast<int>(c)); }
    std::string_view text(size_t c) const override {
        const auto* p = sqlite3_column_text(stmt_, static_cast<int>(c));
        int n = sqlite3_column_bytes(stmt_, static_cast<int>(c));
        return p ? std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n)) : std::string_view();
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_;
    bool done_ = false;
};

}  // namespace

SqliteConnection::SqliteConnection(const std::string& path, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw VelmoraError(formatText("Cannot open database %s: %s", path.c_str(), message.c_str()));
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    executeScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
}

SqliteConnection::~SqliteConnection() {
    if (db_) sqlite3_close_v2(db_);
}

std::unique_ptr<DbQuery> SqliteConnection::query(const std::string& sql, const std::vector<DbValue>& params) {
    sqlite3_stmt* stmt = nullptr;
    const char* rest = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &rest) != SQLITE_OK) fail(db_);
    if (!stmt) throw VelmoraError("The command text is empty");
    auto q = std::make_unique<SqliteQuery>(db_, stmt);
    // One statement per command text: what follows it is refused, not silently dropped.
    for (; rest && *rest; ++rest) {
        if (!std::isspace(static_cast<unsigned char>(*rest)) && *rest != ';')
            throw VelmoraError("Only one statement may be sent at a time");
    }
    bindAll(db_, stmt, params);
    return q;
}

int64_t SqliteConnection::execute(const std::string& sql, const std::vector<DbValue>& params) {
    std::unique_ptr<DbQuery> q = query(sql, params);
    while (q->next()) {
    }
    return sqlite3_changes64(db_);
}

void SqliteConnection::executeScript(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw VelmoraError(message);
    }
}

void SqliteConnection::begin() { executeScript("BEGIN IMMEDIATE"); }
void SqliteConnection::beginRead() { executeScript("BEGIN"); }
void SqliteConnection::commit() { executeScript("COMMIT"); }
void SqliteConnection::rollback() {
    if (inTransaction()) executeScript("ROLLBACK");
}
bool SqliteConnection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

bool SqliteConnection::isEmpty() {
    auto q = query("select count(*) from sqlite_master where type='table'", {});
    return q->next() && q->integer(0) == 0;
}

}  // namespace velmora::server
