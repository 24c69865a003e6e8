// User management through the server's members, as the user management window uses them: only
// with the right manage_users, never leaving the office without an administrator, and a disabled
// user is out at once.

#include <gtest/gtest.h>

#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

class UserManagement : public ::testing::Test {
  protected:
    ServerProcess server;
    std::unique_ptr<Client> admin = loggedIn(server, "管理员", "vantu");
    std::shared_ptr<DispatchAppServer> app = admin->connection.getServer();
};

TEST_F(UserManagement, AnAdministratorAddsChangesAndRemovesUsersWhoseRightsTakeEffect) {
    EXPECT_EQ(
        app->GetUsers(),
        "管理员\tadmin\tapprove,maintain_master_data,delete_orders,manage_users,view_reports,view_audit\t0\n"
        "王会计\tapprover\tapprove,delete_orders,view_reports,view_audit\t0\n"
        "李出纳\toperator\tdelete_orders,view_reports\t0\n");
    app->CreateUser("赵会计", "operator", "maintain_master_data,view_reports", "s3cret");
    EXPECT_NE(app->GetUsers().find("赵会计\toperator\tmaintain_master_data,view_reports\t0\n"),
              std::string::npos);
    EXPECT_EQ(server.scalar("select count(*) from user1 where password1 like '%s3cret%'"), "0");

    // The operator ticked 可维护基础资料 changes master data.
    auto zhao = loggedIn(server, "赵会计", "s3cret");
    ClientDataSet& kh = zhao->dm().ClientDataSetkh;
    Client::requery(kh, "select * from kh where khid='K001'");
    kh.Edit();
    kh.FieldByName("tel").setAsString("1");
    kh.Post();
    EXPECT_EQ(refusal([&] { kh.ApplyUpdates(0); }), "<served>");
    // Untick it: from the next apply on, refused.
    app->ChangeUser("赵会计", "operator", "");
    kh.Edit();
    kh.FieldByName("tel").setAsString("2");
    kh.Post();
    EXPECT_NE(refusal([&] { kh.ApplyUpdates(0); }).find("没有权限：维护基础资料"), std::string::npos);
    kh.CancelUpdates();

    app->ResetUserPassword("赵会计", "n3w");
    EXPECT_NO_THROW(loggedIn(server, "赵会计", "n3w"));
    EXPECT_NE(refusal([&] { app->CreateUser("赵会计", "operator", "", "x"); }).find("已存在"),
              std::string::npos);
    EXPECT_NE(refusal([&] { app->CreateUser("钱\t经理", "operator", "", "x"); }).find("控制字符"),
              std::string::npos);
    EXPECT_NE(refusal([&] { app->CreateUser("钱经理", "boss", "", "x"); }).find("未知的角色"),
              std::string::npos);
    EXPECT_NE(refusal([&] { app->CreateUser("钱经理", "operator", "everything", "x"); }).find("未知的权限"),
              std::string::npos);
    app->RemoveUser("赵会计");
    EXPECT_EQ(server.scalar("select count(*) from user1 where username = '赵会计'"), "0");
    EXPECT_TRUE(logShows(server, "管理员@127.0.0.1")) << server.log();
    EXPECT_TRUE(logShows(server, ": RemoveUser 赵会计")) << server.log();
}

TEST_F(UserManagement, ADisabledUserCannotLogInAndTheOpenSessionEndsAtItsNextCall) {
    auto li = loggedIn(server, "李出纳", "5678");
    li->dm().ClientDataSetywy.Open();
    app->SetUserEnabled("李出纳", false);
    EXPECT_NE(app->GetUsers().find("李出纳\toperator\tdelete_orders,view_reports\t1\n"), std::string::npos);
    std::string refused = refusal([&] {
        li->dm().ClientDataSetywy.Close();
        li->dm().ClientDataSetywy.Open();
    });
    EXPECT_NE(refused.find("此用户已停用"), std::string::npos) << refused;
    EXPECT_TRUE(logShows(server, "the user has been disabled or removed")) << server.log();
    EXPECT_ANY_THROW(loggedIn(server, "李出纳", "5678"));
    // Nor does the login's list show the user.
    Client fresh(server, Client::LoggedOut);
    Client::requery(fresh.dm().ClientDataSethz, "select username from user1");
    EXPECT_EQ(fresh.dm().ClientDataSethz.RecordCount(), 2);

    app->SetUserEnabled("李出纳", true);
    EXPECT_NO_THROW(loggedIn(server, "李出纳", "5678"));
}

TEST_F(UserManagement, TheOfficeKeepsAnAdministratorAndNobodyRemovesThemselves) {
    EXPECT_NE(refusal([&] { app->RemoveUser("管理员"); }).find("不能删除自己"), std::string::npos);
    EXPECT_NE(refusal([&] { app->SetUserEnabled("管理员", false); }).find("不能停用自己"), std::string::npos);
    EXPECT_NE(refusal([&] { app->ChangeUser("管理员", "operator", ""); }).find("最后一个系统管理员"),
              std::string::npos);
    // An administrator who may not manage users would leave nobody who could.
    EXPECT_NE(refusal([&] {
                  app->ChangeUser("管理员", "admin", "approve,view_reports");
              }).find("最后一个系统管理员"),
              std::string::npos);
    app->ChangeUser("王会计", "admin", "view_reports");
    EXPECT_NE(refusal([&] { app->SetUserEnabled("管理员", false); }).find("不能停用自己"), std::string::npos);
    EXPECT_NE(refusal([&] { app->ChangeUser("管理员", "operator", ""); }).find("最后一个系统管理员"),
              std::string::npos);
    // With a second administrator, the first may step down.
    app->ChangeUser("王会计", "admin", "");
    app->ChangeUser("管理员", "approver", "");
    auto wang = loggedIn(server, "王会计", "1234");
    EXPECT_NE(refusal([&] { wang->connection.getServer()->RemoveUser("王会计"); }).find("不能删除自己"),
              std::string::npos);
}

TEST_F(UserManagement, OnlyUsersWithTheRightManageUsers) {
    auto wang = loggedIn(server, "王会计", "1234");
    auto other = wang->connection.getServer();
    for (auto step : std::vector<std::function<void()>>{
             [&] { other->GetUsers(); }, [&] { other->CreateUser("x", "admin", "", "x"); },
             [&] { other->ChangeUser("王会计", "admin", ""); },
             [&] { other->ResetUserPassword("管理员", "x"); },
             [&] { other->SetUserEnabled("管理员", false); }, [&] { other->RemoveUser("李出纳"); }})
        EXPECT_NE(refusal(step).find("没有权限：用户管理"), std::string::npos);
    EXPECT_EQ(server.scalar("select role from user1 where username = '王会计'"), "approver");
    EXPECT_TRUE(logShows(server, "refused ChangeUser 王会计: 没有权限")) << server.log();
}

}  // namespace
}  // namespace velmora::test
