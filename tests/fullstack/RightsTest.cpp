// Who may do what, against the real server: every role against every provider that writes and
// every kind of change, forged packets, the lock on approved orders, and approval itself. The
// client's windows hide what a user may not do; these tests send the changes regardless.

#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "reports/AnalysisStatement.h"
#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

struct User {
    const char* name;
    const char* password;
    bool maintainsMasterData;
};
constexpr User kAdministrator{"管理员", "vantu", true};
constexpr User kApprover{"王会计", "1234", false};
constexpr User kOperator{"李出纳", "5678", false};

std::unique_ptr<Client> loggedIn(const ServerProcess& server, const User& user) {
    return loggedIn(server, user.name, user.password);
}

// A master-data provider: its dataset, its table, a new row's key and the field a change sets.
struct MasterData {
    ClientDataSet& (*dataSet)(Tdm&);
    const char* table;
    const char* key;
    const char* newKey;
    const char* field;
};

const MasterData kMasterData[] = {
    {[](Tdm& dm) -> ClientDataSet& { return dm.ClientDataSetkh; }, "kh", "khid", "K300", "tel"},
    {[](Tdm& dm) -> ClientDataSet& { return dm.ClientDataSetywy; }, "ywy", "ywyid", "Y300", "tel"},
    {[](Tdm& dm) -> ClientDataSet& { return dm.ClientDataSetch; }, "ch", "chid", "0900001", "ggxh"},
    {[](Tdm& dm) -> ClientDataSet& { return dm.ClientDataSetchfl; }, "chfl", "chflid", "09", "chflname"},
};

enum class Kind { Insert, Modify, Delete };

// Makes one change of kind to md's table as user; returns the refusal, or "<served>".
std::string change(const ServerProcess& server, const User& user, const MasterData& md, Kind kind) {
    auto c = loggedIn(server, user);
    ClientDataSet& ds = md.dataSet(c->dm());
    std::string key = std::string(md.newKey) + user.name;
    return refusal([&] {
        ds.setFiltered(false);
        if (kind == Kind::Insert) {
            Client::requery(ds, std::string("select * from ") + md.table);
            ds.Append();
            ds.FieldByName(md.key).setAsString(key);
        } else {
            // The row this user's insert left, or one of the demo's when the insert was refused.
            Client::requery(ds, std::string("select * from ") + md.table + " order by " + md.key + " desc");
            if (kind == Kind::Modify) ds.Edit();
        }
        if (kind == Kind::Delete) {
            ds.Delete();
        } else {
            ds.FieldByName(md.field).setAsString("x");
            ds.Post();
        }
        ds.ApplyUpdates(0);
    });
}

class Rights : public ::testing::Test {
  protected:
    ServerProcess server;

    // An unapproved demo order made by user.
    std::string orderMadeBy(const User& user) {
        return server.scalar(std::string("select min(xsdid) from xsdtb where username = '") + user.name +
                             "' and (ischeck is null or ischeck = " + falseLiteral() + ")");
    }
    std::string approvedOrder() {
        return server.scalar("select min(xsdid) from xsdtb where ischeck = " + trueLiteral());
    }
    static std::string trueLiteral() { return onPostgres() ? "true" : "1"; }
    static std::string falseLiteral() { return onPostgres() ? "false" : "0"; }
    std::string approval(const std::string& number) {
        return server.scalar("select case when ischeck = " + trueLiteral() +
                             " then 'approved' else 'open' end || '|' || coalesce(shrname, '') from xsdtb "
                             "where xsdid = '" +
                             number + "'");
    }
};

TEST_F(Rights, MasterDataIsChangedOnlyByUsersWithTheRight) {
    for (const MasterData& md : kMasterData) {
        for (const User& user : {kAdministrator, kApprover, kOperator}) {
            for (Kind kind : {Kind::Insert, Kind::Modify, Kind::Delete}) {
                std::string outcome = change(server, user, md, kind);
                std::string where = std::string(md.table) + " as " + user.name + " kind " +
                                    std::to_string(static_cast<int>(kind));
                if (user.maintainsMasterData)
                    EXPECT_EQ(outcome, "<served>") << where;
                else
                    EXPECT_NE(outcome.find("没有权限：维护基础资料"), std::string::npos)
                        << where << ": " << outcome;
            }
        }
    }
    EXPECT_EQ(server.scalar("select count(*) from kh where tel = 'x'"), "0");  // the last change deleted it
    EXPECT_TRUE(logShows(server, "王会计@127.0.0.1")) << server.log();
    EXPECT_TRUE(logShows(server, "refused changes to DataSetProviderkh: 没有权限")) << server.log();
}

TEST_F(Rights, ANewOrderIsMadeByTheSessionsUserWhateverThePacketSays) {
    auto c = loggedIn(server, kOperator);
    ClientDataSet& tb = c->dm().ClientDataSetxsdtb;
    tb.Open();
    tb.Insert();
    tb.FieldByName("xsdid").setAsString("XS800001");
    tb.FieldByName("username").setAsString("管理员");  // forged
    tb.FieldByName("shrname").setAsString("王会计");
    tb.FieldByName("ischeck").setAsBoolean(true);
    tb.Post();
    EXPECT_EQ(tb.ApplyUpdates(0), 0);
    EXPECT_EQ(approval("XS800001"), "open|");
    EXPECT_EQ(server.scalar("select username from xsdtb where xsdid = 'XS800001'"), "李出纳");
    // The client's row shows what was stored.
    EXPECT_EQ(tb.FieldByName("username").AsString(), "李出纳");
    EXPECT_EQ(tb.FieldByName("shrname").AsString(), "");
}

TEST_F(Rights, OrdersAreChangedAndDeletedByTheirMakerOrAnAdministrator) {
    std::string administrators = orderMadeBy(kAdministrator);
    auto op = loggedIn(server, kOperator);
    ClientDataSet& tb = op->dm().ClientDataSetxsdtb2;
    Client::requery(tb, "select * from xsdtb where xsdid = '" + administrators + "'");
    tb.Edit();
    tb.FieldByName("khname").setAsString("改");
    tb.Post();
    EXPECT_NE(refusal([&] { tb.ApplyUpdates(0); }).find("只能修改自己制作的单据"), std::string::npos);
    tb.CancelUpdates();
    tb.Delete();
    EXPECT_NE(refusal([&] { tb.ApplyUpdates(0); }).find("只能删除自己制作的单据"), std::string::npos);
    tb.CancelUpdates();
    // Nor through its lines.
    ClientDataSet& lines = op->dm().ClientDataSetxsdzb2;
    Client::requery(lines, "select * from xsdzb where xsdid = '" + administrators + "'");
    lines.Edit();
    lines.FieldByName("quantity1").setAsFloat(999);
    lines.Post();
    EXPECT_NE(refusal([&] { lines.ApplyUpdates(0); }).find("只能修改自己制作的单据"), std::string::npos);
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where quantity1 = 999"), "0");

    // The operator's own order is the operator's to change and delete.
    std::string own = orderMadeBy(kOperator);
    Client::requery(tb, "select * from xsdtb where xsdid = '" + own + "'");
    tb.Delete();
    EXPECT_EQ(refusal([&] { tb.ApplyUpdates(0); }), "<served>");
    EXPECT_EQ(server.scalar("select count(*) from xsdtb where xsdid = '" + own + "'"), "0");

    // An administrator changes anyone's order, but not its maker or approval.
    auto admin = loggedIn(server, kAdministrator);
    ClientDataSet& atb = admin->dm().ClientDataSetxsdtb2;
    std::string operators = server.scalar("select max(xsdid) from xsdtb where username = '李出纳'");
    Client::requery(atb, "select * from xsdtb where xsdid = '" + operators + "'");
    atb.Edit();
    atb.FieldByName("khname").setAsString("改过");
    atb.Post();
    EXPECT_EQ(refusal([&] { atb.ApplyUpdates(0); }), "<served>");
    atb.Edit();
    atb.FieldByName("ischeck").setAsBoolean(true);
    atb.Post();
    EXPECT_NE(refusal([&] { atb.ApplyUpdates(0); }).find("审核标志不能直接修改"), std::string::npos);
    atb.CancelUpdates();
    atb.Edit();
    atb.FieldByName("username").setAsString("管理员");
    atb.Post();
    EXPECT_NE(refusal([&] { atb.ApplyUpdates(0); }).find("没有权限"), std::string::npos);
    EXPECT_EQ(server.scalar("select username from xsdtb where xsdid = '" + operators + "'"), "李出纳");
}

TEST_F(Rights, AnApprovedOrderIsLockedForEveryone) {
    std::string number = approvedOrder();
    ASSERT_NE(number, "<null>");
    auto admin = loggedIn(server, kAdministrator);
    ClientDataSet& tb = admin->dm().ClientDataSetxsdtb2;
    Client::requery(tb, "select * from xsdtb where xsdid = '" + number + "'");
    tb.Edit();
    tb.FieldByName("khname").setAsString("改");
    tb.Post();
    EXPECT_NE(refusal([&] { tb.ApplyUpdates(0); }).find("此单据已审核，不能编辑"), std::string::npos);
    tb.CancelUpdates();
    tb.Delete();
    EXPECT_NE(refusal([&] { tb.ApplyUpdates(0); }).find("此单据已审核，不能删除"), std::string::npos);
    tb.CancelUpdates();
    ClientDataSet& lines = admin->dm().ClientDataSetxsdzb2;
    Client::requery(lines, "select * from xsdzb where xsdid = '" + number + "'");
    std::string count = server.scalar("select count(*) from xsdzb where xsdid = '" + number + "'");
    lines.Delete();
    EXPECT_NE(refusal([&] { lines.ApplyUpdates(0); }).find("此单据已审核，不能编辑"), std::string::npos);
    lines.CancelUpdates();
    lines.Append();
    lines.FieldByName("xsdid").setAsString(number);
    lines.FieldByName("chid").setAsString("0100101");
    lines.Post();
    EXPECT_NE(refusal([&] { lines.ApplyUpdates(0); }).find("此单据已审核，不能编辑"), std::string::npos);
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where xsdid = '" + number + "'"), count);
    EXPECT_EQ(server.scalar("select count(*) from xsdtb where xsdid = '" + number + "'"), "1");
}

TEST_F(Rights, AnApproverApprovesAndWithdrawsOthersOrdersOnly) {
    std::string administrators = orderMadeBy(kAdministrator);
    auto approver = loggedIn(server, kApprover);
    auto app = approver->connection.getServer();
    app->ApproveOrder(administrators);
    EXPECT_EQ(approval(administrators), "approved|王会计");
    EXPECT_NE(refusal([&] { app->ApproveOrder(administrators); }).find("已审核"), std::string::npos);
    app->WithdrawApproval(administrators);
    EXPECT_EQ(approval(administrators), "open|");
    EXPECT_NE(refusal([&] { app->WithdrawApproval(administrators); }).find("尚未审核"), std::string::npos);

    std::string own = orderMadeBy(kApprover);
    EXPECT_NE(refusal([&] { app->ApproveOrder(own); }).find("不能审核自己制作的单据"), std::string::npos);
    EXPECT_EQ(approval(own), "open|");
    EXPECT_NE(refusal([&] { app->ApproveOrder("none"); }).find("不存在"), std::string::npos);

    auto op = loggedIn(server, kOperator);
    EXPECT_NE(refusal([&] { op->connection.getServer()->ApproveOrder(administrators); }).find("没有权限"),
              std::string::npos);
    EXPECT_EQ(approval(administrators), "open|");
    EXPECT_TRUE(logShows(server, "王会计@127.0.0.1")) << server.log();
    EXPECT_TRUE(logShows(server, ": approved order " + administrators)) << server.log();
    EXPECT_TRUE(logShows(server, "refused ApproveOrder " + administrators + ": 没有权限")) << server.log();
}

TEST_F(Rights, OfTwoApproversRacingOnOneOrderExactlyOneWins) {
    std::string number = orderMadeBy(kOperator);
    auto first = loggedIn(server, kAdministrator);
    auto second = loggedIn(server, kApprover);
    auto a = first->connection.getServer();
    auto b = second->connection.getServer();
    for (int round = 0; round < 10; ++round) {
        std::string refusedA, refusedB;
        std::barrier start(2);
        std::thread other([&] {
            start.arrive_and_wait();
            refusedB = refusal([&] { b->ApproveOrder(number); });
        });
        start.arrive_and_wait();
        refusedA = refusal([&] { a->ApproveOrder(number); });
        other.join();
        ASSERT_EQ((refusedA == "<served>") + (refusedB == "<served>"), 1) << refusedA << " / " << refusedB;
        std::string& loser = refusedA == "<served>" ? refusedB : refusedA;
        EXPECT_NE(loser.find("已审核"), std::string::npos) << loser;
        EXPECT_EQ(approval(number), refusedA == "<served>" ? "approved|管理员" : "approved|王会计");
        a->WithdrawApproval(number);
    }
}

TEST_F(Rights, EachUserLearnsTheOwnRoleAndRights) {
    std::string role, rights;
    loggedIn(server, kAdministrator)->connection.getServer()->GetUserRights(role, rights);
    EXPECT_EQ(role + "|" + rights,
              "admin|approve,maintain_master_data,delete_orders,manage_users,view_reports,view_audit");
    loggedIn(server, kApprover)->connection.getServer()->GetUserRights(role, rights);
    EXPECT_EQ(role + "|" + rights, "approver|approve,delete_orders,view_reports,view_audit");
    loggedIn(server, kOperator)->connection.getServer()->GetUserRights(role, rights);
    EXPECT_EQ(role + "|" + rights, "operator|delete_orders,view_reports");
}

TEST_F(Rights, WithoutViewReportsNoCommandTextReadsTheReportView) {
    server.execute("update user1 set rights = 'delete_orders' where username = '李出纳'");
    auto c = loggedIn(server, kOperator);
    ClientDataSet& list = c->dm().ClientDataSetxsdview;
    // The provider's own statement, sent by no text at all, reads the view.
    EXPECT_NE(refusal([&] {
                  list.setCommandText("");
                  list.Open();
              }).find("没有权限：查看报表"),
              std::string::npos);
    // The order list's statement, its totals, a summary, and the view hidden in other spellings.
    for (const char* sql :
         {"select * from xsdview where xsdid<> ' '",
          "select sum(quantity1) as sl, sum(money1) as je  from  xsdview",
          "select khname, sum(money1) from xsdview group by khname", "select * from \"xsdview\"",
          "select count(*) from kh where exists (select 1 from XSDVIEW)",
          "with v as (select * from xsdview) select * from v",
          // and the sales totals beside it
          "select * from xsdhz_rq", "select count(*) from kh where exists (select 1 from XSDHZ_YWY)",
          "select khid, sum(je) from xsdhz_kh group by khid", "select * from xsdhz_ch"}) {
        std::string refused = refusal([&] { Client::requery(list, sql); });
        EXPECT_NE(refused.find("没有权限：查看报表"), std::string::npos) << sql << ": " << refused;
    }
    // The analysis's four grouped statements.
    AnalysisCriteria range{"2002-01-01", "2003-12-31", "", "", "", TimeGrouping::Month};
    for (const std::string& sql :
         {trendStatement(range), customerStatement(range), itemStatement(range), salesmanStatement(range)}) {
        std::string refused = refusal([&] { Client::requery(list, sql); });
        EXPECT_NE(refused.find("没有权限：查看报表"), std::string::npos) << sql << ": " << refused;
    }
    // Taken in parts, as the order list takes it, on the provider's connection of its own.
    list.setPacketRecords(10);
    std::string inParts = refusal([&] { Client::requery(list, "select * from xsdview where xsdid<> ' '"); });
    EXPECT_NE(inParts.find("没有权限：查看报表"), std::string::npos) << inParts;
    list.setPacketRecords(0);
    // A text a tokenizer could misread is judged as the database reads it.
    EXPECT_NE(refusal([&] { Client::requery(list, "select * from xsdview /* unclosed"); }), "<served>");
    EXPECT_TRUE(logShows(server, "李出纳@")) << server.log();
    EXPECT_TRUE(logShows(server, "没有权限：查看报表")) << server.log();
    // The orders themselves stay readable for entering them; the right given back counts at once.
    EXPECT_EQ(refusal([&] { Client::requery(c->dm().ClientDataSetxsdtb, "select * from xsdtb"); }),
              "<served>");
    server.execute("update user1 set rights = null where username = '李出纳'");
    EXPECT_EQ(refusal([&] { Client::requery(list, "select * from xsdview"); }), "<served>");
    EXPECT_GT(list.RecordCount(), 0);
    EXPECT_EQ(refusal([&] { Client::requery(list, "select * from xsdhz_kh"); }), "<served>");
    // The totals are the triggers' alone: no command text writes them.
    for (const char* sql : {"delete from xsdhz_rq", "update xsdhz_kh set je = 0"})
        EXPECT_NE(refusal([&] { Client::requery(list, sql); }), "<served>") << sql;
    EXPECT_EQ(server.scalar("select count(*) from xsdhz_kh where je = 0"), "0");
}

TEST(RightsOption, AnOfficeOfOnePersonMayLetMakersApproveTheirOwnOrders) {
    ServerProcess::Options options;
    options.extraArgs = {"--allow-own-approval"};
    ServerProcess server(options);
    std::string own = server.scalar("select min(xsdid) from xsdtb where username = '王会计'");
    auto approver = loggedIn(server, kApprover);
    approver->connection.getServer()->ApproveOrder(own);
    EXPECT_EQ(server.scalar("select shrname from xsdtb where xsdid = '" + own + "'"), "王会计");
}

}  // namespace
}  // namespace velmora::test
