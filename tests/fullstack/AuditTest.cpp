// The audit trail against the real server: every change writes exactly its rows in its own
// transaction, logins, failures, refusals and user management are recorded, no client writes or
// (without the right) reads the trail by any route, and `audit verify` finds a row edited, deleted
// or slipped in.

#include <gtest/gtest.h>

#include "data/DataPacket.h"
#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

class Audit : public ::testing::Test {
  protected:
    ServerProcess server;

    std::string lastSeq() const { return server.scalar("select coalesce(max(seq), 0) from audit_log"); }
    // The rows after seq, one text each: "action table key parent changes".
    std::vector<std::string> rowsAfter(const std::string& seq, const std::string& actions = "") const {
        return server.query(
            "select action || ' ' || coalesce(tablename, '-') || ' ' || coalesce(recordkey, '-') || ' ' || "
            "coalesce(parentkey, '-') || ' ' || coalesce(changes, '-') from audit_log where seq > " +
            seq + (actions.empty() ? "" : " and action in (" + actions + ")") + " order by seq");
    }
    std::string verify() const {
        std::string out;
        int status = server.runCommand({"audit", "verify"}, "", &out);
        return std::to_string(status) + " " + out;
    }
};

TEST_F(Audit, EveryKindOfChangeWritesExactlyItsRows) {
    auto c = loggedIn(server, "管理员", "vantu");
    Tdm& dm = c->dm();
    std::string mark = lastSeq();

    ClientDataSet& kh = dm.ClientDataSetkh;
    Client::requery(kh, "select * from kh where khid = 'K001'");
    kh.Append();
    kh.FieldByName("khid").setAsString("K300");
    kh.FieldByName("khname").setAsString("新\"客户");
    kh.Post();
    kh.First();
    kh.Edit();
    kh.FieldByName("tel").setAsString("12345");
    kh.Post();
    ASSERT_EQ(kh.ApplyUpdates(0), 0);
    Client::requery(kh, "select * from kh where khid = 'K300'");
    kh.Delete();
    ASSERT_EQ(kh.ApplyUpdates(0), 0);
    std::vector<std::string> rows = rowsAfter(mark);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0],
              "insert kh K300 - "
              "{\"khid\":\"K300\",\"khname\":\"新\\\"客户\",\"tel\":null,\"address\":null,\"accountid\":null,"
              "\"tax\":null}");
    EXPECT_EQ(rows[1].substr(0, rows[1].find('{')), "modify kh K001 - ");
    EXPECT_NE(rows[1].find("\"tel\":["), std::string::npos) << rows[1];
    EXPECT_EQ(rows[1].find("khname"), std::string::npos) << rows[1];  // only what changed
    EXPECT_EQ(rows[1].substr(rows[1].size() - 10), ",\"12345\"]}");
    EXPECT_EQ(rows[2].substr(0, rows[2].find('{')), "delete kh K300 - ");
    EXPECT_NE(rows[2].find("\"khname\":\"新\\\"客户\""), std::string::npos) << rows[2];  // what it held

    // An order with two lines, a changed line, an approval and its withdrawal, the order deleted.
    mark = lastSeq();
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    ClientDataSet& zb = dm.ClientDataSetxsdzb;
    zb.Open();
    tb.Insert();
    tb.FieldByName("xsdid").setAsString("XS700001");
    tb.FieldByName("khid").setAsString("K001");
    for (int i = 1; i <= 2; ++i) {
        zb.Insert();
        zb.FieldByName("xsdid").setAsString("XS700001");
        zb.FieldByName("chid").setAsString("0100101");
        zb.FieldByName("quantity1").setAsFloat(i);
        zb.Post();
    }
    tb.Post();
    ASSERT_EQ(tb.ApplyUpdates(0), 0) << tb.UpdateError();
    std::vector<std::string> lineIds =
        server.query("select lineid from xsdzb where xsdid = 'XS700001' order by lineid");
    ASSERT_EQ(lineIds.size(), 2u);
    zb.First();
    zb.Edit();
    zb.FieldByName("quantity1").setAsFloat(5);
    zb.Post();
    ASSERT_EQ(zb.ApplyUpdates(0), 0);
    auto approver = loggedIn(server, "王会计", "1234");
    approver->connection.getServer()->ApproveOrder("XS700001");
    approver->connection.getServer()->WithdrawApproval("XS700001");
    Client::requery(tb, "select * from xsdtb where xsdid = 'XS700001'");
    tb.Delete();
    ASSERT_EQ(tb.ApplyUpdates(0), 0);

    rows = rowsAfter(mark, "'insert', 'modify', 'delete', 'approve', 'withdraw'");
    ASSERT_EQ(rows.size(), 9u) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[0].substr(0, 25), "insert xsdtb XS700001 - {");
    EXPECT_NE(rows[0].find("\"username\":\"管理员\""), std::string::npos);  // as the server stamped it
    for (size_t i : {1, 2}) {
        EXPECT_EQ(rows[i].substr(0, rows[i].find('{')), "insert xsdzb " + lineIds[i - 1] + " XS700001 ");
        // The line's number, which the database gave, is among its fields.
        EXPECT_EQ(rows[i].substr(rows[i].size() - 12), "\"lineid\":" + lineIds[i - 1] + "}");
    }
    EXPECT_EQ(rows[3].substr(0, 13), "modify xsdzb ");
    EXPECT_NE(rows[3].find(",5]}"), std::string::npos) << rows[3];
    EXPECT_EQ(rows[4], "approve xsdtb XS700001 - {\"ischeck\":[false,true],\"shrname\":[null,\"王会计\"]}");
    EXPECT_EQ(rows[5], "withdraw xsdtb XS700001 - {\"ischeck\":[true,false],\"shrname\":[\"王会计\",null]}");
    EXPECT_EQ(rows[6].substr(0, 25), "delete xsdtb XS700001 - {");
    // The lines that went with their order, each with what it held.
    for (size_t i : {7, 8})
        EXPECT_EQ(rows[i].substr(0, rows[i].find('{')), "delete xsdzb " + lineIds[i - 7] + " XS700001 ");
    EXPECT_EQ(server.scalar("select username || '@' || substr(peer, 1, 9) from audit_log where seq = (select "
                            "max(seq) from audit_log where action = 'approve')"),
              "王会计@127.0.0.1");
    EXPECT_EQ(verify().substr(0, 20), "0 audit trail intact");
}

TEST_F(Audit, ARolledBackOrRefusedApplyLeavesNoChangeRows) {
    auto c = loggedIn(server, "管理员", "vantu");
    ClientDataSet& ywy = c->dm().ClientDataSetywy;
    Client::requery(ywy, "select * from ywy");
    std::string mark = lastSeq();
    ywy.Append();
    ywy.FieldByName("ywyid").setAsString("Y300");
    ywy.Post();
    ywy.Append();
    ywy.FieldByName("ywyid").setAsString("Y01");  // there already: the apply fails and rolls back
    ywy.Post();
    EXPECT_NE(refusal([&] { ywy.ApplyUpdates(0); }), "<served>");
    EXPECT_EQ(server.scalar("select count(*) from ywy where ywyid = 'Y300'"), "0");
    EXPECT_EQ(rowsAfter(mark).size(), 0u);
    ywy.CancelUpdates();

    // A change refused for want of the right: no change, one row saying what was refused.
    auto op = loggedIn(server, "李出纳", "5678");
    mark = lastSeq();
    ClientDataSet& kh = op->dm().ClientDataSetkh;
    Client::requery(kh, "select * from kh where khid = 'K001'");
    kh.Edit();
    kh.FieldByName("tel").setAsString("x");
    kh.Post();
    EXPECT_NE(refusal([&] { kh.ApplyUpdates(0); }), "<served>");
    std::vector<std::string> rows = rowsAfter(mark);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].substr(0, 17), "refused - - - {\"w");
    EXPECT_NE(rows[0].find("没有权限：维护基础资料"), std::string::npos);
    EXPECT_EQ(server.scalar("select username from audit_log where action = 'refused'"), "李出纳");
}

TEST_F(Audit, LoginsFailuresPasswordsAndUserManagementAreRecorded) {
    std::string mark = lastSeq();
    {
        Client failed(server, Client::LoggedOut);
        EXPECT_ANY_THROW(loginAs(failed.connection, "王会计", "wrong"));
    }
    auto admin = loggedIn(server, "管理员", "vantu");
    std::shared_ptr<DispatchAppServer> app = admin->connection.getServer();
    std::string computer = "PC-7", address = "10.0.0.7", user = "管理员", time = "2026-12-08";
    app->AddUser(computer, address, user, time);
    app->CreateUser("赵会计", "operator", "", "s3cret");
    app->ChangeUser("赵会计", "approver", "approve");
    app->ResetUserPassword("赵会计", "n3w");
    app->SetUserEnabled("赵会计", false);
    app->RemoveUser("赵会计");
    ClientDataSet& hz = admin->dm().ClientDataSethz;
    hz.setCommandText("update user1 set password1 = 'vantu2'");
    hz.Execute();
    app->DelUser(computer, address, user, time);

    std::vector<std::string> rows = rowsAfter(mark);
    ASSERT_EQ(rows.size(), 9u) << ::testing::PrintToString(rows);
    EXPECT_EQ(rows[0], "login_failed user1 王会计 - -");
    EXPECT_EQ(rows[1], "login - - - -");
    EXPECT_EQ(rows[2], "user_add user1 赵会计 - {\"role\":\"operator\",\"rights\":\"preset\"}");
    EXPECT_EQ(rows[3], "user_change user1 赵会计 - {\"role\":\"approver\",\"rights\":\"approve\"}");
    EXPECT_EQ(rows[4], "user_password user1 赵会计 - -");
    EXPECT_EQ(rows[5], "user_disable user1 赵会计 - -");
    EXPECT_EQ(rows[6], "user_remove user1 赵会计 - -");
    EXPECT_EQ(rows[7], "password user1 管理员 - -");
    EXPECT_EQ(rows[8], "logout - - - -");
    // After AddUser the rows carry the computer the client named; no row holds a password.
    EXPECT_EQ(server.scalar("select computer from audit_log where action = 'logout'"), "PC-7");
    EXPECT_EQ(server.scalar("select count(*) from audit_log where changes like '%s3cret%' or changes like "
                            "'%n3w%' or changes like '%vantu%'"),
              "0");
}

TEST_F(Audit, NoClientWritesTheTrailAndOnlyUsersWithTheRightReadIt) {
    auto admin = loggedIn(server, "管理员", "vantu");
    ClientDataSet& hz = admin->dm().ClientDataSethz;
    std::string before = lastSeq();
    for (const char* sql :
         {"select * from audit_log", "select count(*) from audit_head", "delete from audit_log",
          "update audit_head set seq = 0", "insert into audit_log (seq) values (999)",
          "select * from kh where exists (select 1 from audit_log)"}) {
        EXPECT_NE(refusal([&] { Client::requery(hz, sql); }), "<served>") << sql;
        EXPECT_NE(refusal([&] {
                      hz.Close();
                      hz.setCommandText(sql);
                      hz.Execute();
                  }),
                  "<served>")
            << sql;
    }
    EXPECT_EQ(server.scalar("select count(*) from audit_log where seq <= " + before), before);
    // No provider serves it.
    int32_t records = 0;
    Variant params, owner;
    EXPECT_NE(refusal([&] {
                  admin->connection.getServer()->RemoteGetRecords("audit_log", -1, records, 0, "", params,
                                                                  owner);
              }).find("Provider not exported"),
              std::string::npos);
    int32_t errors = 0;
    EXPECT_NE(refusal([&] {
                  admin->connection.getServer()->RemoteApplyUpdates("audit_log", Variant::byteArray(Bytes()),
                                                                    -1, errors, owner);
              }).find("Provider not exported"),
              std::string::npos);

    // The history of a record and the query, for an administrator and an approver.
    ClientDataSet& ywy = admin->dm().ClientDataSetywy;
    Client::requery(ywy, "select * from ywy where ywyid = 'Y01'");
    for (const char* tel : {"1", "2"}) {
        ywy.Edit();
        ywy.FieldByName("tel").setAsString(tel);
        ywy.Post();
        ASSERT_EQ(ywy.ApplyUpdates(0), 0);
    }
    for (auto [user, password] : {std::pair{"管理员", "vantu"}, std::pair{"王会计", "1234"}}) {
        auto reader = loggedIn(server, user, password);
        std::shared_ptr<DispatchAppServer> app = reader->connection.getServer();
        EXPECT_EQ(decodeDataPacket(app->GetRecordHistory("ywy", "Y01")).rows.size(), 2u) << user;
        EXPECT_EQ(
            decodeDataPacket(app->QueryAuditLog("2000-01-01", "2999-12-31", "管理员", "modify", "ywy", "Y0"))
                .rows.size(),
            2u)
            << user;
        EXPECT_EQ(
            decodeDataPacket(app->QueryAuditLog("2000-01-01", "2000-01-02", "", "", "", "")).rows.size(), 0u)
            << user;
        // A wildcard in the key stands for itself.
        EXPECT_EQ(decodeDataPacket(app->QueryAuditLog("", "", "", "", "", "Y%")).rows.size(), 0u) << user;
    }
    // An operator may not, and the refusal is itself recorded.
    auto op = loggedIn(server, "李出纳", "5678");
    EXPECT_NE(refusal([&] {
                  op->connection.getServer()->GetRecordHistory("ywy", "Y01");
              }).find("没有权限：查看操作日志"),
              std::string::npos);
    EXPECT_NE(refusal([&] { op->connection.getServer()->QueryAuditLog("", "", "", "", "", ""); }),
              "<served>");
    EXPECT_EQ(
        server.scalar("select count(*) from audit_log where action = 'refused' and username = '李出纳'"),
        "2");
}

TEST_F(Audit, VerifyFindsAnEditedADeletedAndAnInsertedRow) {
    for (int i = 0; i < 3; ++i) loggedIn(server, "管理员", "vantu");
    EXPECT_EQ(verify().substr(0, 20), "0 audit trail intact");
    const int rows = std::stoi(lastSeq());
    ASSERT_GE(rows, 3);

    server.execute("update audit_log set username = '王会计' where seq = 2");
    EXPECT_EQ(
        verify(),
        "1 audit trail BROKEN after 2 rows: row 2 was changed after it was written, or row 1 before it\n");
    server.execute("update audit_log set username = '管理员' where seq = 2");
    EXPECT_EQ(verify().substr(0, 20), "0 audit trail intact");

    // A row edited and its hash made anew: the next row no longer follows it.
    server.execute("update audit_log set username = '王会计' where seq = 2");
    std::string edited = server.query("select hash from audit_log where seq = 2")[0];
    server.execute("update audit_log set hash = (select hash from audit_log where seq = 3) where seq = 2");
    EXPECT_NE(verify().find("row 2 was changed"), std::string::npos);
    server.execute("update audit_log set username = '管理员', hash = '" + edited + "' where seq = 2");
    EXPECT_EQ(verify().substr(0, 20), "0 audit trail intact");

    // A row slipped in after the last one.
    server.execute("insert into audit_log (seq, at, action, hash) values (" + std::to_string(rows + 1) +
                   ", '2026-01-01', 'login', 'y')");
    EXPECT_NE(verify().find("BROKEN"), std::string::npos);
    server.execute("delete from audit_log where seq = " + std::to_string(rows + 1));
    EXPECT_EQ(verify().substr(0, 20), "0 audit trail intact");

    server.execute("delete from audit_log where seq = 2");
    EXPECT_NE(verify().find("rows 2 to 2 are missing"), std::string::npos);
    server.execute("delete from audit_log where seq >= " + std::to_string(rows));
    EXPECT_NE(verify().find("BROKEN"), std::string::npos);
}

TEST_F(Audit, AnExportWithPruneKeepsTheRestVerifiable) {
    for (int i = 0; i < 3; ++i) loggedIn(server, "管理员", "vantu");
    const int rows = std::stoi(lastSeq());
    std::string csv;
    ASSERT_EQ(server.runCommand({"audit", "export", "--before", "2999-01-01", "--prune"}, "", &csv), 0);
    EXPECT_EQ(csv.substr(0, 13), "seq,at,user,p");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), rows + 1);
    EXPECT_EQ(server.scalar("select count(*) from audit_log"), "0");
    loggedIn(server, "管理员", "vantu");
    EXPECT_EQ(verify().substr(0, 27), "0 audit trail intact: 1 row");
    EXPECT_EQ(server.scalar("select min(seq) from audit_log"), std::to_string(rows + 1));
    EXPECT_EQ(server.runCommand({"audit", "export"}, ""), 1);  // the date is needed
}

}  // namespace
}  // namespace velmora::test
