// A client's command text read through the server's connection, on both databases: results of
// many rows (PostgreSQL sends them one by one as it produces them), a result left half read (the
// rest is cancelled), a statement that fails on a late row, and statements that are no query.

#include <cstdio>
#include <limits>
#include <string>

#include "tests/server/ServerDbFixture.h"

namespace velmora::server {
namespace {

class ClientQueryTest : public ServerDbFixture {
  protected:
    void SetUp() override {
        // More lines than several of the cursor's batches, numbered 0.. in chid.
        db->begin();
        for (int n = 0; n < kLines; ++n) {
            char chid[16];
            std::snprintf(chid, sizeof chid, "%06d", n);
            db->execute("insert into xsdzb (xsdid, chid, quantity1) values ('X', ?, ?)",
                        {DbValue::ofText(chid), DbValue::ofFloat(n)});
        }
        db->commit();
    }
    static constexpr int kLines = 12345;
};

TEST_F(ClientQueryTest, EveryRowComesInOrderAcrossBatches) {
    auto rows = db->clientQuery("select chid, quantity1 from xsdzb order by chid");
    ASSERT_EQ(rows->columnCount(), 2u);
    int n = 0;
    while (rows->next()) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "%06d", n);
        ASSERT_EQ(rows->text(0), expected);
        ASSERT_EQ(rows->real(1), n);
        ++n;
    }
    EXPECT_EQ(n, kLines);
}

TEST_F(ClientQueryTest, NumbersReadBackExactlyToTheLastBit) {
    const double values[] = {
        0.1, 1.0 / 3, 1e300, -2.5e-300, 123456.789, 5e-324, -std::numeric_limits<double>::infinity()};
    for (double v : values)
        db->execute("insert into xsdzb (xsdid, chid, quantity1) values ('N', 'n', ?)", {DbValue::ofFloat(v)});
    auto rows = db->clientQuery("select quantity1 from xsdzb where xsdid = 'N' order by lineid");
    for (double v : values) {
        ASSERT_TRUE(rows->next());
        EXPECT_EQ(rows->real(0), v);
    }
    EXPECT_FALSE(rows->next());
}

TEST_F(ClientQueryTest, AResultLeftHalfReadLeavesTheConnectionReady) {
    {
        auto rows = db->clientQuery("select chid from xsdzb order by chid");
        for (int i = 0; i < 7000; ++i) ASSERT_TRUE(rows->next());
    }
    {
        // A small result has all come in by then; it is read out, not cancelled.
        auto few = db->clientQuery("select chid from xsdzb order by chid limit 3");
        ASSERT_TRUE(few->next());
    }
    auto count = db->clientQuery("select count(*) from xsdzb");
    ASSERT_TRUE(count->next());
    EXPECT_EQ(count->integer(0), kLines);
    EXPECT_FALSE(count->next());
}

TEST_F(ClientQueryTest, AStatementFailingOnALateRowIsReportedAndTheNextRuns) {
    EXPECT_THROW(
        {
            auto rows = db->clientQuery("select 1 / (quantity1 - 11000) from xsdzb order by chid");
            while (rows->next()) {
                // A database that divides by zero without complaint gives null there instead.
                if (rows->type(0) == DbType::Null) throw VelmoraError("division by zero");
            }
        },
        VelmoraError);
    auto rows = db->clientQuery("select count(*) from kh");
    EXPECT_TRUE(rows->next());
}

TEST_F(ClientQueryTest, StatementsThatWriteOrAreNoQueryAreRefusedAsBefore) {
    for (const char* sql : {"select 1; select 2", "select * from user1", "select * from server_logins"})
        EXPECT_THROW(db->clientQuery(sql), StatementRefused) << sql;
    // A select that writes is no query; SQLite does not know the form at all.
    if (test::onPostgres())
        EXPECT_THROW(db->clientQuery("select * into copied from kh"), StatementRefused);
    else
        EXPECT_THROW(db->clientQuery("select * into copied from kh"), VelmoraError);
    auto rows = db->clientQuery("  select count(*) from xsdzb");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->integer(0), kLines);
}

}  // namespace
}  // namespace velmora::server
