// The real velmora-server on a demo database, driven through the client's own stack: the
// connection, the interpreter and the data module's datasets.

#include <gtest/gtest.h>

#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

class ServerData : public ::testing::Test {
  protected:
    ServerProcess server;
    Client client{server};
    Tdm& dm = client.dm();
};

TEST_F(ServerData, EveryDataSetOfTheModuleOpens) {
    int opened = 0;
    for (ClientDataSet* ds : dm.dataSets()) {
        if (ds == &dm.ClientDataSetxsdzb) continue;  // nested: opened through its master below
        ds->Open();
        EXPECT_TRUE(ds->Active()) << ds->Name();
        ++opened;
    }
    EXPECT_EQ(opened, 11);
    EXPECT_EQ(dm.ClientDataSetkh.RecordCount(), 10);
    EXPECT_EQ(dm.ClientDataSetywy.RecordCount(), 5);
    EXPECT_EQ(dm.ClientDataSetchfl.RecordCount(), 10);
    EXPECT_EQ(dm.ClientDataSetxsdtb.RecordCount(), 30);
    EXPECT_EQ(dm.ClientDataSetxsdtb2.RecordCount(), 30);
    EXPECT_EQ(dm.ClientDataSetxsdview.RecordCount(), 0);  // "where xsdid='1'"
    EXPECT_EQ(std::to_string(dm.ClientDataSetxsdzb2.RecordCount()),
              server.scalar("select count(*) from xsdzb"));
    // The filter "chflid='53'" matches no item.
    EXPECT_EQ(dm.ClientDataSetch.RecordCount(), 0);
    dm.ClientDataSetch.setFiltered(false);
    EXPECT_EQ(dm.ClientDataSetch.RecordCount(), 20);
    // The summary statement: sums come back as numbers.
    EXPECT_GT(dm.ClientDataSethz.RecordCount(), 0);
    EXPECT_EQ(dm.ClientDataSethz.FieldByName("sl").DataType(), FieldType::Double);
}

TEST_F(ServerData, NestedLinesFollowTheCurrentOrder) {
    dm.ClientDataSetxsdzb.Open();  // opens its master first
    ASSERT_TRUE(dm.ClientDataSetxsdtb.Active());
    for (dm.ClientDataSetxsdtb.First(); !dm.ClientDataSetxsdtb.Eof(); dm.ClientDataSetxsdtb.Next()) {
        std::string order = dm.ClientDataSetxsdtb.FieldByName("xsdid").AsString();
        std::string count = server.scalar("select count(*) from xsdzb where xsdid='" + order + "'");
        ASSERT_EQ(std::to_string(dm.ClientDataSetxsdzb.RecordCount()), count) << order;
        for (dm.ClientDataSetxsdzb.First(); !dm.ClientDataSetxsdzb.Eof(); dm.ClientDataSetxsdzb.Next())
            EXPECT_EQ(dm.ClientDataSetxsdzb.FieldByName("xsdid").AsString(), order);
    }
}

TEST_F(ServerData, ManyOrdersGetExactlyTheirOwnLinesWhateverOrderTheHeadersComeIn) {
    // Enough orders that the server reads the lines in one pass; some without lines.
    std::string sql;
    for (int i = 0; i < 80; ++i) {
        std::string id = "M" + std::to_string(100 + i);
        sql += "insert into xsdtb (xsdid, khid, rq) values ('" + id + "', 'K001', '2003-05-01');";
        for (int l = 0; l < i % 4; ++l)
            sql += "insert into xsdzb (xsdid, chid, quantity1, price1, money1) values ('" + id +
                   "', '0100101', " + std::to_string(l + 1) + ", 1, " + std::to_string(l + 1) + ");";
    }
    server.execute(sql);
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    ClientDataSet& zb = dm.ClientDataSetxsdzb;
    for (const char* headers : {"select * from xsdtb order by xsdid desc", "select * from xsdtb",
                                "select * from xsdtb union all select * from xsdtb where xsdid like 'M1%'"}) {
        Client::requery(tb, headers);
        zb.Open();
        int orders = 0;
        for (tb.First(); !tb.Eof(); tb.Next(), ++orders) {
            std::string order = tb.FieldByName("xsdid").AsString();
            std::vector<std::string> quantities;
            for (zb.First(); !zb.Eof(); zb.Next()) {
                EXPECT_EQ(zb.FieldByName("xsdid").AsString(), order);
                quantities.push_back(std::to_string(static_cast<int>(zb.FieldByName("quantity1").AsFloat())));
            }
            ASSERT_EQ(quantities, server.query("select cast(quantity1 as integer) from xsdzb where xsdid='" +
                                               order + "' order by lineid"))
                << headers << " " << order;
        }
        EXPECT_EQ(std::to_string(orders),
                  server.scalar("select count(*) from (" + std::string(headers) + ") h"));
    }
}

TEST_F(ServerData, ReQueriesRunAnyStatementThroughAnyProvider) {
    Client::requery(dm.ClientDataSetkh, "select * from  ywy where ywyid='Y03'");
    ASSERT_EQ(dm.ClientDataSetkh.RecordCount(), 1);
    EXPECT_EQ(dm.ClientDataSetkh.FieldByName("ywyname").AsString(), "王强");
    EXPECT_EQ(dm.ClientDataSetkh.FieldCount(), 4);
    Client::requery(dm.ClientDataSetkh, "select * from  kh where khid='K001'");
    EXPECT_EQ(dm.ClientDataSetkh.FieldByName("khname").AsString(), "华联超市");

    // The login's statements are answered by the server's user store, not run as sent.
    Client::requery(dm.ClientDataSethz, "select * from user1 where username='管理员'and password1='vantu'");
    EXPECT_EQ(dm.ClientDataSethz.RecordCount(), 1);
    EXPECT_THROW(Client::requery(dm.ClientDataSethz,
                                 "select * from user1 where username='管理员'and password1='x' or '1'='1'"),
                 RemoteError);

    Client::requery(dm.ClientDataSetxsdview2,
                    "select sum(quantity1) as sl, sum(money1) as je  from  xsdview where xsdid<> ' '");
    EXPECT_DOUBLE_EQ(dm.ClientDataSetxsdview2.FieldByName("je").AsFloat(),
                     std::stod(server.scalar("select sum(money1) from xsdview")));

    dm.ClientDataSetkh.Close();
    dm.ClientDataSetkh.setCommandText("select * from nosuchtable");
    try {
        dm.ClientDataSetkh.Open();
        FAIL();
    } catch (const RemoteError& e) {
        EXPECT_NE(std::string(e.what()).find("nosuchtable"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(dm.ClientDataSetkh.Active());
    Client::requery(dm.ClientDataSetkh, "select * from kh");  // the connection goes on
    EXPECT_EQ(dm.ClientDataSetkh.RecordCount(), 10);
}

TEST_F(ServerData, InsertModifyAndDeleteReachTheTables) {
    ClientDataSet& kh = dm.ClientDataSetkh;
    Client::requery(kh, "select * from kh");
    kh.Append();
    kh.FieldByName("khid").setAsString("K100");
    kh.FieldByName("khname").setAsString("新客户'引号");
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(server.scalar("select khname from kh where khid='K100'"), "新客户'引号");

    kh.Edit();
    kh.FieldByName("tel").setAsString("12345");
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(server.scalar("select tel from kh where khid='K100'"), "12345");

    kh.Delete();
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(server.scalar("select count(*) from kh where khid='K100'"), "0");
    EXPECT_EQ(kh.ChangeCount(), 0);
}

TEST_F(ServerData, AnOrderAndItsLinesGoInOneRequest) {
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    ClientDataSet& zb = dm.ClientDataSetxsdzb;
    zb.Open();
    tb.Insert();
    tb.FieldByName("xsdid").setAsString("XS900001");
    tb.FieldByName("khid").setAsString("K001");
    tb.FieldByName("rq").setAsString("2003-04-01");
    tb.FieldByName("username").setAsString("管理员");
    for (int i = 0; i < 2; ++i) {
        zb.Insert();
        zb.FieldByName("xsdid").setAsString("XS900001");
        zb.FieldByName("chid").setAsString("0100101");  // the same item twice: two lines of their own
        zb.FieldByName("quantity1").setAsFloat(2);
        zb.FieldByName("price1").setAsFloat(18.5);
        zb.FieldByName("money1").setAsFloat(37);
        zb.Post();
    }
    tb.Post();
    EXPECT_EQ(tb.ApplyUpdates(-1), 0) << tb.UpdateError();
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where xsdid='XS900001'"), "2");
    EXPECT_EQ(server.scalar("select cast(sum(money1) * 100 as integer) from xsdview where xsdid='XS900001'"),
              "7400");

    // Each of two identical lines can be changed on its own.
    zb.First();
    zb.Edit();
    zb.FieldByName("quantity1").setAsFloat(3);
    zb.Post();
    EXPECT_EQ(zb.ApplyUpdates(-1), 0);
    EXPECT_EQ(server.query(
                  "select cast(quantity1 as integer) from xsdzb where xsdid='XS900001' order by quantity1"),
              (std::vector<std::string>{"2", "3"}));

    // Deleting the order takes its lines with it.
    tb.Delete();
    EXPECT_EQ(tb.ApplyUpdates(0), 0);
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where xsdid='XS900001'"), "0");
}

TEST_F(ServerData, ADuplicateKeyFailsItsRecordWhichStaysInTheLog) {
    ClientDataSet& kh = dm.ClientDataSetkh;
    Client::requery(kh, "select * from kh");
    kh.Append();
    kh.FieldByName("khid").setAsString("K001");
    kh.FieldByName("khname").setAsString("重复");
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(-1), 1);
    EXPECT_EQ(kh.ChangeCount(), 1);
    // Each database words it its own way.
    EXPECT_TRUE(kh.UpdateError().find("UNIQUE") != std::string::npos ||
                kh.UpdateError().find("unique") != std::string::npos)
        << kh.UpdateError();
    EXPECT_THROW(kh.ApplyUpdates(0), VelmoraError);
    EXPECT_EQ(server.scalar("select khname from kh where khid='K001'"), "华联超市");
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST_F(ServerData, ATextLongerThanItsColumnIsRefusedByNameOnBothDatabases) {
    ClientDataSet& kh = dm.ClientDataSetkh;
    Client::requery(kh, "select * from kh");
    // Fifty characters fit however many bytes they take.
    kh.Append();
    kh.FieldByName("khid").setAsString("K200");
    kh.FieldByName("khname").setAsString(repeated("商", 50));
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(-1), 0) << kh.UpdateError();
    EXPECT_EQ(server.scalar("select khname from kh where khid='K200'"), repeated("商", 50));

    kh.Append();
    kh.FieldByName("khid").setAsString("K201");
    kh.FieldByName("address").setAsString(repeated("a", 51));
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(-1), 1);
    EXPECT_NE(kh.UpdateError().find("字段 address 的内容太长"), std::string::npos) << kh.UpdateError();
    kh.CancelUpdates();
    EXPECT_EQ(server.scalar("select count(*) from kh where khid='K201'"), "0");

    // A change is held to the same limit, and the row keeps what it had.
    Client::requery(kh, "select * from kh where khid='K200'");
    kh.Edit();
    kh.FieldByName("tel").setAsString(repeated("号", 51));
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(-1), 1);
    EXPECT_NE(kh.UpdateError().find("字段 tel 的内容太长"), std::string::npos) << kh.UpdateError();
    EXPECT_EQ(server.scalar("select tel from kh where khid='K200'"), "<null>");

    // An order whose header is too long is refused with its lines, which are not tried.
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    ClientDataSet& zb = dm.ClientDataSetxsdzb;
    zb.Open();
    tb.Insert();
    tb.FieldByName("xsdid").setAsString("XS900002");
    tb.FieldByName("khname").setAsString(repeated("x", 60));
    zb.Insert();
    zb.FieldByName("xsdid").setAsString("XS900002");
    zb.FieldByName("chid").setAsString("0100101");
    zb.Post();
    tb.Post();
    EXPECT_EQ(tb.ApplyUpdates(-1), 1);
    EXPECT_NE(tb.UpdateError().find("khname"), std::string::npos) << tb.UpdateError();
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where xsdid='XS900002'"), "0");
}

TEST_F(ServerData, TheSecondOfTwoConcurrentChangesFails) {
    Client other(server);
    ClientDataSet& mine = dm.ClientDataSetywy;
    ClientDataSet& theirs = other.dm().ClientDataSetywy;
    mine.Open();
    theirs.Open();
    mine.Edit();
    mine.FieldByName("tel").setAsString("first");
    mine.Post();
    EXPECT_EQ(mine.ApplyUpdates(0), 0);
    theirs.Edit();
    theirs.FieldByName("tel").setAsString("second");
    theirs.Post();
    EXPECT_EQ(theirs.ApplyUpdates(-1), 1);
    EXPECT_NE(theirs.UpdateError().find("changed by another user"), std::string::npos);
    EXPECT_EQ(server.scalar("select tel from ywy where ywyid='Y01'"), "first");
}

TEST_F(ServerData, RefreshRerunsTheLastCommandAndExecuteRunsAStatement) {
    ClientDataSet& hz = dm.ClientDataSethz;
    Client::requery(hz, "select username from user1");
    hz.Refresh();
    EXPECT_EQ(hz.RecordCount(), 3);
    hz.Close();
    hz.setCommandText("");
    hz.setCommandText("update  user1  set  password1 ='新口令' where username='管理员'");
    hz.Execute();
    Client withNewPassword(server, Client::LoggedOut);
    EXPECT_NO_THROW(loginAs(withNewPassword.connection, "管理员", "新口令"));

    Client::requery(dm.ClientDataSetchfl, "select * from chfl where chflid like '01%'");
    int before = dm.ClientDataSetchfl.RecordCount();
    Client second(server, Client::LoggedOut);
    loginAs(second.connection, "管理员", "新口令");  // one who maintains master data
    Client::requery(second.dm().ClientDataSetchfl, "select * from chfl");
    second.dm().ClientDataSetchfl.Append();
    second.dm().ClientDataSetchfl.FieldByName("chflid").setAsString("01-009");
    second.dm().ClientDataSetchfl.Post();
    ASSERT_EQ(second.dm().ClientDataSetchfl.ApplyUpdates(0), 0);
    dm.ClientDataSetchfl.Refresh();
    EXPECT_EQ(dm.ClientDataSetchfl.RecordCount(), before + 1);
}

TEST_F(ServerData, LoginMembersAreRecordedInTheLoginsTable) {
    auto app = client.connection.getServer();
    Variant time;
    app->GetSysTime(time);
    EXPECT_EQ(time.type(), VarType::Date);
    std::string computer = "收银台", address = "10.1.2.3", user = "管理员", when = time.toString();
    app->AddUser(computer, address, user, when);
    app->DelUser(computer, address, user, when);
    EXPECT_EQ(
        server.query("select event || '|' || computername || '|' || username from server_logins order by id"),
        (std::vector<std::string>{"AddUser|收银台|管理员", "DelUser|收银台|管理员"}));
    EXPECT_NE(server.log().find("login 管理员 from 收银台"), std::string::npos) << server.log();
}

}  // namespace
}  // namespace velmora::test
