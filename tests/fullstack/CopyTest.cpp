// Moving a database between SQLite and PostgreSQL with `velmora-server copy`: a demo database
// with the server's own history, and one of 200,000 order lines, go to PostgreSQL and back with
// every value equal; a copy never overwrites a database that holds data.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fullstack/BackupHelpers.h"
#include "tests/fullstack/FullstackHelpers.h"
#include "tests/support/SalesTotalsCheck.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class Copy : public ::testing::Test {
  protected:
    Copy() {
        char pattern[] = "/tmp/velmora-copy-test-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        dir = pattern;
    }
    ~Copy() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    static Outcome copy(const std::string& from, const std::string& to) {
        return runServerProgram({"copy", "--from", from, "--to", to});
    }

    // SQLite → PostgreSQL → SQLite; the database back on SQLite must equal the first.
    void roundTrip(const std::string& first) {
        auto middle = TestDatabase::create(dir);  // PostgreSQL: the tests run on the cluster
        const std::string last = dir + "/back.db";
        Outcome there = copy(first, middle->location());
        ASSERT_EQ(there.status, 0) << there.output;
        EXPECT_NE(there.output.find("every table equal"), std::string::npos) << there.output;
        Outcome back = copy(middle->location(), last);
        ASSERT_EQ(back.status, 0) << back.output;
        EXPECT_NE(back.output.find("audit trail intact"), std::string::npos) << back.output;
        std::vector<std::string> want = dumpTables(*TestDatabase::open(first));
        std::vector<std::string> have = dumpTables(*TestDatabase::open(last));
        ASSERT_EQ(have.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(have[i], want[i]) << "row " << i;
        // The totals go with no copy: each database makes its own from the orders it receives.
        EXPECT_EQ(middle->query(salesTotalsMismatchSql())[0], "0");
        EXPECT_EQ(TestDatabase::open(last)->query(salesTotalsMismatchSql())[0], "0");
        Outcome audit = runServerProgram({"audit", "verify", "--db", middle->location()});
        EXPECT_EQ(audit.status, 0) << audit.output;
    }

    std::string dir;
};

TEST_F(Copy, ADemoDatabaseWithItsHistoryGoesToPostgresAndBackUnchanged) {
    if (!onPostgres()) GTEST_SKIP() << "needs the PostgreSQL test cluster (run as pg.Copy.*)";
    const std::string first = dir + "/demo.db";
    {
        ServerProcess::Options options;
        options.databasePath = first;
        ServerProcess server(options);
        auto c = loggedIn(server, "管理员", "vantu");
        ClientDataSet& kh = c->dm().ClientDataSetkh;
        Client::requery(kh, "select * from kh where khid = 'K001'");
        kh.Edit();
        kh.FieldByName("khname").setAsString("客户 😀 'x' \"y\" \\ 𠀀");
        kh.Post();
        ASSERT_EQ(kh.ApplyUpdates(0), 0);
        server.execute(
            "update xsdzb set price1 = 0.1 + 0.2, quantity1 = 1e-300, money1 = null where lineid = 2");
    }
    roundTrip(first);
}

TEST_F(Copy, TwoHundredThousandLinesGoToPostgresAndBackUnchanged) {
    if (!onPostgres()) GTEST_SKIP() << "needs the PostgreSQL test cluster (run as pg.Copy.*)";
    const std::string first = dir + "/large.db";
    ASSERT_EQ(runServerProgram({"--db", first, "--init-demo", "--init-only"}).status, 0);
    TestDatabase::open(first)->execute(
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 199999) "
        "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) "
        "select 'L' || (i / 5), '0100101', '货品' || i, case when i % 3 = 0 then null else 'φ' || i end, "
        "'个', "
        "i % 17 + 0.25, 1.0 / (i % 13 + 1), (i % 17 + 0.25) / (i % 13 + 1) from n;"
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 39999) "
        "insert into xsdtb (xsdid, khid, khname, username, ischeck, rq) "
        "select 'L' || i, 'K001', '客户' || i, '管理员', i % 2, '2024-01-' || (10 + i % 20) from n;");
    roundTrip(first);
}

TEST_F(Copy, ACopyNeverOverwritesADatabaseThatHoldsData) {
    const std::string from = dir + "/from.db", to = dir + "/to.db";
    ASSERT_EQ(runServerProgram({"--db", from, "--init-demo", "--init-only"}).status, 0);
    ASSERT_EQ(runServerProgram({"--db", to, "--init-only"}).status, 0);
    TestDatabase::open(to)->execute("insert into kh (khid, khname) values ('K999', 'kept')");
    Outcome refused = copy(from, to);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("holds data"), std::string::npos) << refused.output;
    EXPECT_EQ(TestDatabase::open(to)->query("select khname from kh")[0], "kept");
}

}  // namespace
}  // namespace velmora::test
