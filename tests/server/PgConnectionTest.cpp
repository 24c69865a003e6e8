// The PostgreSQL connection's own statements: answers of SAVEPOINT and RELEASE read with the next
// statement's, and writes kept prepared. Runs on the throwaway cluster (label postgres) only.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/PgConnection.h"
#include "tests/server/PgTableFixture.h"
#include "tests/support/TestDatabase.h"

namespace velmora::server {
namespace {

using PgConnectionTest = PgTableFixture;

TEST_F(PgConnectionTest, ARecordThatFailsInItsSavepointIsUndoneAloneAndTheOthersCommit) {
    db->begin();
    db->execute("savepoint rec1");
    EXPECT_EQ(insert(1, "a"), 1);
    db->execute("release rec1");
    db->execute("savepoint rec1");
    EXPECT_NE(failure([&] { insert(1, "b"); }).find("duplicate key"), std::string::npos);
    db->execute("rollback to rec1");
    db->execute("release rec1");
    db->execute("savepoint rec1");
    EXPECT_EQ(insert(2, "c"), 1);
    db->execute("release rec1");
    db->commit();
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(values(), (std::vector<std::string>{"a", "c"}));
}

TEST_F(PgConnectionTest, AnErrorOfAStatementSentWithoutWaitingIsThrownByTheNextOne) {
    EXPECT_EQ(db->execute("savepoint lonely"), 0);  // refused outside a transaction, told later
    EXPECT_NE(failure([&] { db->query("select 1"); }).find("SAVEPOINT"), std::string::npos);
    auto q = db->query("select 2");
    ASSERT_TRUE(q->next());
    EXPECT_EQ(q->integer(0), 2);

    // A rollback undoes whatever such an error left behind.
    db->begin();
    insert(1, "a");
    db->execute("release unknown");
    EXPECT_EQ(failure([&] { db->rollback(); }), "");
    EXPECT_FALSE(db->inTransaction());
    EXPECT_TRUE(values().empty());
}

TEST_F(PgConnectionTest, AStatementFirstSentInAFailedTransactionRunsAfterTheRollback) {
    insert(1, "a");
    db->begin();
    EXPECT_FALSE(failure([&] { insert(1, "again"); }).empty());
    // Its preparation is refused along with it, so it must be prepared again later.
    EXPECT_FALSE(
        failure([&] {
            db->execute("update t set v = ? where k = ?", {DbValue::ofText("b"), DbValue::ofInteger(1)});
        }).empty());
    db->rollback();
    EXPECT_EQ(db->execute("update t set v = ? where k = ?", {DbValue::ofText("b"), DbValue::ofInteger(1)}),
              1);
    EXPECT_EQ(values(), (std::vector<std::string>{"b"}));
}

TEST_F(PgConnectionTest, WritesStayRightPastTheLimitOfPreparedStatements) {
    const int distinct = static_cast<int>(PgConnection::kMaxPrepared) + 10;
    for (int round = 0; round < 2; ++round) {
        db->begin();  // the second round's begin forgets the statements the first prepared
        for (int i = 0; i < distinct; ++i)
            db->execute("insert into t (k, v) values (?, '" + std::to_string(i) + "')",
                        {DbValue::ofInteger(round * 1000 + i)});
        db->commit();
    }
    EXPECT_EQ(database->query("select count(distinct v) || '/' || count(*) from t"),
              (std::vector<std::string>{std::to_string(distinct) + "/" + std::to_string(2 * distinct)}));
    int64_t key =
        db->insertReturningKey("insert into t (k, v) values (?, 'last')", {DbValue::ofInteger(5000)}, "k");
    EXPECT_EQ(key, 5000);
}

// A run of statements goes in one round trip; the one that fails leaves nothing behind, those
// before it hold, and those after it are not run.
TEST_F(PgConnectionTest, ARunStopsAtItsFailedStatementAndKeepsWhatCameBefore) {
    const std::string insertText = "insert into t (k, v) values (?, ?)";
    const std::string broken = "insert into t (k, v) valuez (?, ?)";
    const std::string key = "k";
    auto statement = [&](const std::string& sql, int k, const char* v, bool returning) {
        return GuardedStatement{
            &sql, {DbValue::ofInteger(k), DbValue::ofText(v)}, returning ? &key : nullptr};
    };
    insert(3, "old");
    db->begin();
    std::vector<GuardedStatement> run{
        statement(insertText, 1, "a", true), statement(insertText, 2, "b", false),
        statement(insertText, 3, "clash", true), statement(insertText, 4, "d", true)};
    GuardedOutcome outcome = db->runGuarded(run);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_EQ(outcome.keys, (std::vector<int64_t>{1, 0}));
    EXPECT_NE(outcome.error.find("duplicate key"), std::string::npos) << outcome.error;

    // The rest goes on in the same transaction; a statement whose preparation fails fails too,
    // and is prepared afresh when it comes again.
    std::vector<GuardedStatement> rest{statement(insertText, 4, "d", true), statement(broken, 5, "e", false)};
    outcome = db->runGuarded(rest);
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_NE(outcome.error.find("syntax"), std::string::npos) << outcome.error;
    outcome = db->runGuarded(std::span(rest).subspan(1));
    EXPECT_EQ(outcome.done, 0u);
    EXPECT_NE(outcome.error.find("syntax"), std::string::npos) << outcome.error;
    outcome = db->runGuarded(std::vector<GuardedStatement>{statement(insertText, 6, "f", true)});
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_EQ(outcome.keys, (std::vector<int64_t>{6}));
    db->commit();
    EXPECT_EQ(values(), (std::vector<std::string>{"a", "b", "old", "d", "f"}));
}

}  // namespace
}  // namespace velmora::server
