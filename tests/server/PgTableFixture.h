#pragma once
// A PostgreSQL connection as the server sees it, over a database of the test's own with one table
// t (k integer primary key, v text). Runs on the throwaway cluster (label postgres) only.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/PgConnection.h"
#include "tests/support/TestDatabase.h"

namespace velmora::server {

class PgTableFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::onPostgres()) << "runs on the PostgreSQL test cluster (ctest -L postgres)";
        database = test::TestDatabase::create("/tmp");
        database->execute("create table t (k integer primary key, v text)");
        db = std::make_unique<PgConnection>(database->location(), "");
    }

    int64_t insert(int key, const std::string& value) {
        return db->execute("insert into t (k, v) values (?, ?)",
                           {DbValue::ofInteger(key), DbValue::ofText(value)});
    }
    std::vector<std::string> values() const { return database->query("select v from t order by k"); }
    // The message fn fails with; empty when it does not fail.
    template <typename Fn>
    static std::string failure(Fn fn) {
        try {
            fn();
        } catch (const VelmoraError& e) {
            return e.what();
        }
        return "";
    }

    std::unique_ptr<test::TestDatabase> database;
    std::unique_ptr<DbConnection> db;  // as the server sees it
};

}  // namespace velmora::server
