// Two velmora-server processes on one database, as behind a load balancer: every order saved
// through either is stored once, and of two changes to one record from the same original exactly
// one wins, for whole records and for one line of an order alike.

#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "tests/fullstack/FullstackHelpers.h"

namespace velmora::test {
namespace {

constexpr int kClientsPerServer = 10;
constexpr int kOrdersPerClient = 4;
constexpr int kLinesPerOrder = 3;

// Saves the orders of one client: each with its lines, in one request, as the invoicing window does.
int saveOrders(const ServerProcess& server, const std::string& prefix) {
    Client c(server);
    ClientDataSet& tb = c.dm().ClientDataSetxsdtb;
    ClientDataSet& zb = c.dm().ClientDataSetxsdzb;
    zb.Open();
    int failed = 0;
    for (int o = 0; o < kOrdersPerClient; ++o) {
        std::string number = prefix + "-" + std::to_string(o);
        tb.Insert();
        tb.FieldByName("xsdid").setAsString(number);
        tb.FieldByName("khid").setAsString("K001");
        tb.FieldByName("rq").setAsString("2003-04-01");
        tb.FieldByName("username").setAsString("管理员");
        for (int l = 0; l < kLinesPerOrder; ++l) {
            zb.Insert();
            zb.FieldByName("xsdid").setAsString(number);
            zb.FieldByName("chid").setAsString("0100101");
            zb.FieldByName("quantity1").setAsFloat(l + 1);
            zb.FieldByName("price1").setAsFloat(2.5);
            zb.FieldByName("money1").setAsFloat(2.5 * (l + 1));
            zb.Post();
        }
        tb.Post();
        failed += tb.ApplyUpdates(-1);
    }
    return failed;
}

// Every workstation of this office logs in at the same moment from one address.
const std::vector<std::string> kOneAddressForAll = {"--max-login-connections-per-address", "32"};

// Runs both applies at once; returns the failures of each.
std::pair<int, int> race(ClientDataSet& a, ClientDataSet& b) {
    int failedA = 0, failedB = 0;
    std::barrier start(2);
    std::thread other([&] {
        start.arrive_and_wait();
        failedB = b.ApplyUpdates(-1);
    });
    start.arrive_and_wait();
    failedA = a.ApplyUpdates(-1);
    other.join();
    return {failedA, failedB};
}

class TwoServers : public ::testing::Test {
  protected:
    static ServerProcess::Options withDemo() {
        ServerProcess::Options options;
        options.extraArgs = kOneAddressForAll;
        return options;
    }
    static ServerProcess::Options sameDatabase(const ServerProcess& first) {
        ServerProcess::Options options;
        options.demo = false;
        options.databasePath = first.databasePath();
        options.extraArgs = kOneAddressForAll;
        return options;
    }
    ServerProcess first{withDemo()};
    ServerProcess second{sameDatabase(first)};
};

TEST_F(TwoServers, OrdersSavedThroughBothAreNeitherLostNorDoubled) {
    std::vector<std::thread> clients;
    std::atomic<int> failed{0};
    for (int i = 0; i < 2 * kClientsPerServer; ++i) {
        const ServerProcess& server = i % 2 ? second : first;
        clients.emplace_back([&, i] { failed += saveOrders(server, "T" + std::to_string(i)); });
    }
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(failed, 0);
    int orders = 2 * kClientsPerServer * kOrdersPerClient;
    EXPECT_EQ(first.scalar("select count(*) from xsdtb where xsdid like 'T%'"), std::to_string(orders));
    EXPECT_EQ(first.scalar("select count(distinct xsdid) from xsdtb where xsdid like 'T%'"),
              std::to_string(orders));
    EXPECT_EQ(first.scalar("select count(*) from xsdzb where xsdid like 'T%'"),
              std::to_string(orders * kLinesPerOrder));
    // Every order holds exactly its own lines.
    EXPECT_EQ(
        first.scalar("select count(*) from (select xsdid from xsdzb where xsdid like 'T%' group by xsdid "
                     "having count(*) <> " +
                     std::to_string(kLinesPerOrder) + ") odd"),
        "0");
    // Both servers wrote one audit trail: a row for each order and line, in one unbroken chain.
    EXPECT_EQ(
        first.scalar("select count(*) from audit_log where action = 'insert' and (recordkey like 'T%' or "
                     "parentkey like 'T%')"),
        std::to_string(orders * (1 + kLinesPerOrder)));
    EXPECT_EQ(first.scalar("select count(distinct seq) - count(*) from audit_log"), "0");
    std::string verified;
    EXPECT_EQ(second.runCommand({"audit", "verify"}, "", &verified), 0) << verified;
}

TEST_F(TwoServers, OfTwoChangesFromTheSameOriginalExactlyOneWins) {
    Client viaFirst(first), viaSecond(second);
    ClientDataSet& a = viaFirst.dm().ClientDataSetywy;
    ClientDataSet& b = viaSecond.dm().ClientDataSetywy;
    for (int round = 0; round < 5; ++round) {
        Client::requery(a, "select * from ywy where ywyid='Y01'");
        Client::requery(b, "select * from ywy where ywyid='Y01'");
        a.Edit();
        a.FieldByName("tel").setAsString("first-" + std::to_string(round));
        a.Post();
        b.Edit();
        b.FieldByName("tel").setAsString("second-" + std::to_string(round));
        b.Post();
        auto [failedA, failedB] = race(a, b);
        EXPECT_EQ(failedA + failedB, 1) << "round " << round;
        ClientDataSet& loser = failedA ? a : b;
        EXPECT_NE(loser.UpdateError().find("changed by another user"), std::string::npos)
            << loser.UpdateError();
        std::string stored = first.scalar("select tel from ywy where ywyid='Y01'");
        EXPECT_EQ(stored, (failedA ? "second-" : "first-") + std::to_string(round));
        loser.CancelUpdates();
    }
}

// A line of order 0001 of its own, so that a round may delete it; returns its line id.
std::string freshLine(const ServerProcess& server, int round) {
    server.execute("insert into xsdzb (xsdid, chid, quantity1, price1, money1) values ('0001', '0100101', " +
                   std::to_string(round + 1) + ", 1, 1)");
    return server.scalar("select max(lineid) from xsdzb");
}

TEST_F(TwoServers, OfTwoChangesToOneOrderLineExactlyOneWins) {
    Client viaFirst(first), viaSecond(second);
    ClientDataSet& a = viaFirst.dm().ClientDataSetxsdzb2;
    ClientDataSet& b = viaSecond.dm().ClientDataSetxsdzb2;
    // The window between the two statements is narrow: enough rounds that a lost change shows.
    for (int round = 0; round < 20; ++round) {
        std::string line = freshLine(first, round);
        std::string sql = "select * from xsdzb where lineid=" + line;
        Client::requery(a, sql);
        Client::requery(b, sql);
        bool deleting = round % 2 == 1;  // a delete against a change, or two changes
        if (deleting) {
            a.Delete();
        } else {
            a.Edit();
            a.FieldByName("quantity1").setAsFloat(100 + round);
            a.Post();
        }
        b.Edit();
        b.FieldByName("quantity1").setAsFloat(200 + round);
        b.Post();
        auto [failedA, failedB] = race(a, b);
        ASSERT_EQ(failedA + failedB, 1) << "round " << round << (deleting ? " (delete)" : " (change)");
        ClientDataSet& loser = failedA ? a : b;
        if (!(deleting && failedA)) {  // a deleted row is not shown, nor its error
            EXPECT_NE(loser.UpdateError().find("changed by another user"), std::string::npos)
                << loser.UpdateError();
        }
        std::string stored =
            first.scalar("select cast(quantity1 as integer) from xsdzb where lineid=" + line);
        std::string expected = failedA    ? std::to_string(200 + round)
                               : deleting ? "<none>"
                                          : std::to_string(100 + round);
        EXPECT_EQ(stored, expected) << "round " << round;
        loser.CancelUpdates();
    }
}

}  // namespace
}  // namespace velmora::test
