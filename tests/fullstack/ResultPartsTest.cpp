// A large result taken in parts from the real server: every row arrives once and in order, the
// parts come from one snapshot while others write, a reset or a new command forgets the open
// result, and the size limit counts every part.
#include <gtest/gtest.h>

#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

constexpr int kLines = 3000;
const std::string kList = "select * from xsdview where xsdid like 'P%'";

// One order of n lines, quantities 1..n.
std::string orderOfLines(const std::string& order, int n) {
    return "insert into xsdtb (xsdid, khid, rq) values ('" + order +
           "', 'K001', '2003-05-01');"
           "insert into xsdzb (xsdid, chid, quantity1, price1, money1) "
           "with recursive n(x) as (select 1 union all select x + 1 from n where x < " +
           std::to_string(n) + ") select '" + order + "', '0100101', x, 1, x from n;";
}

// Every row of ds as one text, in order.
std::vector<std::string> rowTexts(ClientDataSet& ds) {
    std::vector<std::string> rows;
    for (int r = 0; r < ds.RecordCount(); ++r) {
        std::string row;
        for (int f = 0; f < ds.FieldCount(); ++f) row += ds.textAt(r, f) + "|";
        rows.push_back(row);
    }
    return rows;
}

class ResultParts : public ::testing::Test {
  protected:
    void SetUp() override { server.execute(orderOfLines("P0001", kLines)); }

    void openInParts(ClientDataSet& ds, const std::string& sql, int first) {
        ds.Close();
        ds.setCommandText("");
        ds.setCommandText(sql);
        ds.setPacketRecords(first);
        ds.Open();
    }

    ServerProcess server;
    Client client{server};
    Tdm& dm = client.dm();
};

TEST_F(ResultParts, EveryRowComesOnceAndInTheOrderOfTheWholeResult) {
    ClientDataSet& list = dm.ClientDataSetxsdview;
    Client::requery(list, kList);
    ASSERT_EQ(list.RecordCount(), kLines);
    std::vector<std::string> whole = rowTexts(list);

    openInParts(list, kList, 200);
    EXPECT_EQ(list.RecordCount(), 200);
    EXPECT_FALSE(list.AllFetched());
    int parts = 1;
    while (!list.AllFetched()) {
        ASSERT_GT(list.FetchMore(700), 0);
        ++parts;
    }
    EXPECT_EQ(parts, 1 + (kLines - 200 + 699) / 700);
    EXPECT_EQ(rowTexts(list), whole);
    EXPECT_EQ(list.FieldByName("quantity1").DataType(), FieldType::Double);
}

TEST_F(ResultParts, ThePartsShowTheDataAsItWasWhenTheFirstPartWasRead) {
    ClientDataSet& list = dm.ClientDataSetxsdview;
    openInParts(list, kList, 100);
    // Another workstation adds and removes lines meanwhile.
    server.execute(orderOfLines("P0002", 50) + "delete from xsdzb where xsdid='P0001' and quantity1 > 2900;");
    while (!list.AllFetched()) list.FetchMore(1000);
    EXPECT_EQ(list.RecordCount(), kLines);
    list.setPacketRecords(0);
    Client::requery(list, kList);
    EXPECT_EQ(list.RecordCount(), kLines - 100 + 50);
}

TEST_F(ResultParts, ClosingForgetsTheOpenResultOnTheServer) {
    ClientDataSet& list = dm.ClientDataSetxsdview;
    openInParts(list, kList, 100);
    list.Close();
    // A further part of what was closed is refused, and logged; a new open starts over.
    ProviderClient provider;
    provider.setSource([&]() -> std::shared_ptr<IProviderServer> { return client.connection.getServer(); });
    provider.setProviderName(list.ProviderName());
    EXPECT_EQ(refusal([&] { provider.nextPart(100); }), "No rows are left to fetch: the result was closed");
    EXPECT_TRUE(logShows(server, "no result of")) << server.log();
    list.Open();
    EXPECT_EQ(list.RecordCount(), 100);
    EXPECT_EQ(list.FieldByName("quantity1").AsFloat(), 1.0);
}

TEST_F(ResultParts, ANewCommandOnTheSameProviderStartsOverAndOthersGoOnMeanwhile) {
    ClientDataSet& list = dm.ClientDataSetxsdview;
    openInParts(list, kList, 100);
    // Other datasets are served between two parts.
    dm.ClientDataSetkh.Open();
    EXPECT_EQ(dm.ClientDataSetkh.RecordCount(), 10);
    list.FetchMore(100);
    EXPECT_EQ(list.RecordCount(), 200);
    openInParts(list, kList + " and quantity1 <= 150", 100);
    while (!list.AllFetched()) list.FetchMore(100);
    EXPECT_EQ(list.RecordCount(), 150);
}

TEST_F(ResultParts, AnExpressionOfUnknownTypeStillComesInParts) {
    // SQLite types an expression by its values, read ahead of the first part.
    ClientDataSet& hz = dm.ClientDataSethz;
    openInParts(hz,
                "with recursive n(x) as (select 1 union all select x + 1 from n where x < 1000) "
                "select x, x * 2 as y from n",
                300);
    EXPECT_EQ(hz.RecordCount(), 300);
    while (!hz.AllFetched()) hz.FetchMore(300);
    ASSERT_EQ(hz.RecordCount(), 1000);
    EXPECT_EQ(hz.textAt(999, hz.FieldByName("y").Index()), "2000");
}

TEST(ResultPartsLimits, TheSizeLimitCountsEveryPartAndTheConnectionGoesOn) {
    ServerProcess::Options options;
    options.extraArgs = {"--max-result-mb", "1"};
    ServerProcess server(options);
    server.execute(orderOfLines("P0001", 20000));
    Client c(server);
    ClientDataSet& list = c.dm().ClientDataSetxsdview;
    list.setCommandText(kList);
    list.setPacketRecords(1000);
    list.Open();
    EXPECT_EQ(refusal([&] {
                  while (!list.AllFetched()) list.FetchMore(1000);
              }),
              "结果过大 (the result passed the size limit of 1 MB)");
    EXPECT_TRUE(logShows(server, "its result passed 1 MB")) << server.log();
    list.Close();
    c.dm().ClientDataSetkh.Open();
    EXPECT_EQ(c.dm().ClientDataSetkh.RecordCount(), 10);
}

}  // namespace
}  // namespace velmora::test
