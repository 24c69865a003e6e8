#include "tests/support/TestDatabase.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace velmora::test {

namespace {

const char* clusterDir() {
    const char* dir = std::getenv("VELMORA_TEST_POSTGRES");
    return dir && *dir ? dir : nullptr;
}

class SqliteTestDatabase : public TestDatabase {
  public:
    explicit SqliteTestDatabase(std::string path) : path_(std::move(path)) {}
    const std::string& location() const override { return path_; }

    std::vector<std::string> query(const std::string& sql) const override {
        sqlite3* db = open(SQLITE_OPEN_READONLY);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) fail(db, sql);
        std::vector<std::string> rows;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            rows.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return rows;
    }
    void execute(const std::string& sql) const override {
        sqlite3* db = open(SQLITE_OPEN_READWRITE);
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, sql);
        sqlite3_close(db);
    }

  private:
    sqlite3* open(int flags) const {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path_.c_str(), &db, flags, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            throw std::runtime_error("cannot open " + path_);
        }
        sqlite3_busy_timeout(db, 10000);
        return db;
    }
    [[noreturn]] static void fail(sqlite3* db, const std::string& sql) {
        std::string message = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error(message + " in: " + sql);
    }
    std::string path_;
};

// One statement on a connection string; the rows' first column.
std::vector<std::string> runOnPostgres(const std::string& info, const std::string& sql) {
    PGconn* conn = PQconnectdb(info.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("cannot reach the test cluster: " + message);
    }
    PQsetClientEncoding(conn, "UTF8");
    PGresult* r = PQexec(conn, sql.c_str());
    ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        std::string message = PQresultErrorMessage(r);
        PQclear(r);
        PQfinish(conn);
        throw std::runtime_error(message + " in: " + sql);
    }
    std::vector<std::string> rows;
    for (int i = 0; i < PQntuples(r); ++i)
        rows.push_back(PQgetisnull(r, i, 0) ? "<null>" : PQgetvalue(r, i, 0));
    PQclear(r);
    PQfinish(conn);
    return rows;
}

class PostgresTestDatabase : public TestDatabase {
  public:
    // A new database in the cluster (owned: dropped at the end), or an existing one.
    PostgresTestDatabase(const std::string& cluster, bool owned) : owned_(owned) {
        std::ifstream uriFile(cluster + "/uri");
        std::getline(uriFile, admin_);
        if (admin_.empty())
            throw std::runtime_error("the PostgreSQL test cluster in " + cluster +
                                     " is not running (ctest starts it for the postgres label)");
        static std::atomic<int> serial{0};
        name_ = "velmora_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
        runOnPostgres(admin_, "CREATE DATABASE " + name_);
        location_ = admin_;
        location_.replace(location_.find("/postgres?"), 10, "/" + name_ + "?");
    }
    explicit PostgresTestDatabase(std::string location) : location_(std::move(location)), owned_(false) {}
    ~PostgresTestDatabase() override {
        if (!owned_) return;
        try {
            runOnPostgres(admin_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
        } catch (const std::exception&) {
            // a leftover database in a throwaway cluster harms nobody
        }
    }
    const std::string& location() const override { return location_; }
    std::vector<std::string> query(const std::string& sql) const override {
        return runOnPostgres(location_, sql);
    }
    void execute(const std::string& sql) const override { runOnPostgres(location_, sql); }

  private:
    std::string admin_;
    std::string name_;
    std::string location_;
    bool owned_;
};

}  // namespace

bool onPostgres() {
    return clusterDir() != nullptr;
}

std::unique_ptr<TestDatabase> TestDatabase::create(const std::string& folder, const std::string& file) {
    if (const char* cluster = clusterDir()) return std::make_unique<PostgresTestDatabase>(cluster, true);
    return std::make_unique<SqliteTestDatabase>(file.empty() ? folder + "/velmora.db" : file);
}

std::unique_ptr<TestDatabase> TestDatabase::open(const std::string& location) {
    if (location.rfind("postgresql://", 0) == 0) return std::make_unique<PostgresTestDatabase>(location);
    return std::make_unique<SqliteTestDatabase>(location);
}

}  // namespace velmora::test
