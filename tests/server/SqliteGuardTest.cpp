// The database side of the guard on client command texts, on a real SQLite file: what the
// authorizer lets through, the deadline, and hashing the users of an old file in place.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "server/Schema.h"
#include "server/SqliteConnection.h"
#include "server/UserStore.h"
#include "tests/server/ServerDbFixture.h"

namespace velmora::server {
namespace {

class SqliteGuard : public ServerDbFixture {
  protected:
    std::string fileBytes(const std::string& suffix = "") const {
        std::ifstream in(path() + suffix, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

TEST_F(SqliteGuard, ReadsOfTheProductsTablesPassAndEverythingElseIsRefusedBeforeItRuns) {
    db->execute("insert into kh (khid, khname) values ('K1', 'a')", {});
    auto q = db->clientQuery("select kh.khname from kh join xsdview on 1=0 union all select khname from kh");
    ASSERT_TRUE(q->next());
    EXPECT_EQ(q->text(0), "a");
    q.reset();
    for (const char* sql :
         {"select * from user1", "select * from server_logins", "delete from kh", "vacuum",
          "select count(*) from user1", "with u as (select * from user1) select count(*) from u",
          "select count(*) from sqlite_master", "pragma table_info(kh)", "commit",
          "select * from kh; select 1"})
        EXPECT_THROW(db->clientQuery(sql), StatementRefused) << sql;
    EXPECT_THROW(db->clientQuery(std::string("select 1") + '\0'), StatementRefused);
    // The guard is for client texts only: the server's own statements are not touched by it.
    EXPECT_EQ(db->execute("delete from kh", {}), 1);
    // A table made after the guard last looked at the schema is known to it all the same.
    db->executeScript("create table extra (x integer)");
    EXPECT_THROW(db->clientQuery("select count(*) from extra"), StatementRefused);
    // A name of the statement's own still reads, with the schema's names up to date or not.
    for (int round = 0; round < 2; ++round) {
        auto own = db->clientQuery("with extra2 as (select khname from kh) select count(*) from extra2");
        ASSERT_TRUE(own->next());
        db->executeScript("create table extra3_" + std::to_string(round) + " (x integer)");
    }
}

TEST_F(SqliteGuard, ADeadlineStopsAStatementAndIsClearedForTheNext) {
    db->setDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(100));
    auto endless = db->clientQuery(
        "with recursive n(x) as (select 1 union all select x + 1 from n) "
        "select count(*) from n");
    EXPECT_THROW(endless->next(), QueryTimeout);
    endless.reset();
    db->setDeadline(std::nullopt);
    auto q = db->clientQuery("select count(*) from kh");
    EXPECT_TRUE(q->next());
}

TEST_F(SqliteGuard, PlainTextPasswordsBecomeHashesAndLeaveNoTraceInTheFile) {
    db->execute("insert into user1 (username, password1) values ('甲', 'Plain-Secret-4711'), ('乙', NULL)",
                {});
    auto stored = [&](const std::string& suffix) {
        return fileBytes(suffix).find("Plain-Secret-4711") != std::string::npos;
    };
    ASSERT_TRUE(stored("") || stored("-wal"));
    UserStore users(*db);
    EXPECT_EQ(users.convertPlainTextPasswords(), 2);
    EXPECT_EQ(users.convertPlainTextPasswords(), 0);  // a second start changes nothing
    EXPECT_TRUE(users.verify("甲", "Plain-Secret-4711"));
    EXPECT_FALSE(users.verify("甲", "plain-secret-4711"));
    EXPECT_FALSE(users.verify("乙", ""));
    EXPECT_FALSE(stored(""));
    EXPECT_FALSE(stored("-wal"));
}

TEST_F(SqliteGuard, UsersAreAddedChangedAndRemovedByName) {
    UserStore users(*db);
    users.add("丙", "one");
    EXPECT_THROW(users.add("丙", "two"), VelmoraError);
    EXPECT_THROW(users.add("", "two"), VelmoraError);
    users.setPassword("丙", "three");
    EXPECT_FALSE(users.verify("丙", "one"));
    EXPECT_TRUE(users.verify("丙", "three"));
    EXPECT_THROW(users.setPassword("丁", "x"), VelmoraError);
    EXPECT_EQ(users.names(), std::vector<std::string>{"丙"});
    users.remove("丙");
    EXPECT_THROW(users.remove("丙"), VelmoraError);
    EXPECT_FALSE(users.verify("丙", "three"));
}

TEST_F(SqliteGuard, TheDatabaseIsOpenedWithTheDurabilityAskedFor) {
    auto synchronous = [](DbConnection& connection) {
        auto q = connection.query("PRAGMA synchronous", {});
        return q->next() ? q->integer(0) : -1;
    };
    EXPECT_EQ(synchronous(*db), 2);  // FULL by default: an acknowledged apply survives a power cut
    SqliteConnection normal(path(), false, Durability::Normal);
    EXPECT_EQ(synchronous(normal), 1);
    SqliteConnection full(path(), false, Durability::Full);
    EXPECT_EQ(synchronous(full), 2);
}

}  // namespace
}  // namespace velmora::server
