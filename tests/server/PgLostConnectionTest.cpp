// The PostgreSQL connection when its backend ends under it: what cannot have committed is sent
// again on a new connection, and everything else fails with a message that says whether the
// change may have been stored. Runs on the throwaway cluster (label postgres) only; the tests end
// their own backend from inside a statement, so that the loss comes at a known moment.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/PgConnection.h"
#include "tests/server/PgTableFixture.h"
#include "tests/support/TestDatabase.h"

namespace velmora::server {
namespace {

constexpr const char* kEndOwnBackend = "select pg_terminate_backend(pg_backend_pid())";

using PgLostConnectionTest = PgTableFixture;

TEST_F(PgLostConnectionTest, ATransactionThatLostItsConnectionFailsWholeAndTheNextOneRuns) {
    db->begin();
    insert(1, "a");
    EXPECT_NE(failure([&] { db->query(kEndOwnBackend); }).find("nothing was stored"), std::string::npos);
    // The rest of the transaction is not written outside it on a new connection.
    EXPECT_NE(failure([&] { insert(2, "b"); }).find("nothing was stored"), std::string::npos);
    EXPECT_NE(failure([&] { db->commit(); }).find("nothing was stored"), std::string::npos);
    EXPECT_FALSE(db->inTransaction());
    EXPECT_TRUE(values().empty());
    db->begin();
    insert(3, "c");
    db->commit();
    EXPECT_EQ(values(), std::vector<std::string>{"c"});
}

TEST_F(PgLostConnectionTest, ConnectionsEndedWhileIdleAreOpenedAgainBeforeTheNextStatement) {
    insert(1, "a");
    database->query(
        "select pg_terminate_backend(pid) from pg_stat_activity where datname = current_database() and pid "
        "<> "
        "pg_backend_pid()");
    // The next statement may well be sent before the backend is gone: the BEGIN is then sent again.
    db->begin();
    insert(2, "b");
    db->commit();
    auto q = db->query("select count(*) from t");
    ASSERT_TRUE(q->next());
    EXPECT_EQ(q->integer(0), 2);
}

TEST_F(PgLostConnectionTest, AWriteOfItsOwnWhoseAnswerWasLostMayHaveBeenStoredAndAReadIsTriedOnce) {
    EXPECT_NE(failure([&] { db->execute(kEndOwnBackend); }).find("may or may not have been stored"),
              std::string::npos);
    // A read is sent once more on a new connection; this one ends that too.
    EXPECT_NE(failure([&] { db->query(kEndOwnBackend); }).find("please try again"), std::string::npos);
    insert(1, "a");
    EXPECT_EQ(values(), std::vector<std::string>{"a"});
}

TEST_F(PgLostConnectionTest, ACommitWhoseAnswerWasLostSaysTheChangeMayHaveBeenStored) {
    // A check deferred to the commit ends the backend while it commits.
    database->execute(
        "create function end_backend() returns trigger language plpgsql as $$ begin perform "
        "pg_terminate_backend(pg_backend_pid()); return null; end $$;"
        "create constraint trigger at_commit after insert on t deferrable initially deferred for each row "
        "execute function end_backend()");
    db->begin();
    insert(1, "a");
    EXPECT_NE(failure([&] { db->commit(); }).find("may or may not have been stored"), std::string::npos);
    EXPECT_FALSE(db->inTransaction());
    database->execute("drop trigger at_commit on t");
    db->begin();
    insert(2, "b");
    db->commit();
    EXPECT_EQ(values().back(), "b");
}

}  // namespace
}  // namespace velmora::server
