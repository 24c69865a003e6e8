// The users as an administrator manages them: the server program's user commands, and an old
// database whose passwords were kept as typed.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

bool logsIn(const ServerProcess& server, const std::string& user, const std::string& password) {
    Client c(server, Client::LoggedOut);
    try {
        loginAs(c.connection, user, password);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The demo's users as `user list` prints them: name, role, rights.
const char* const kDemoUsers =
    "管理员\tadmin\tapprove,maintain_master_data,delete_orders,manage_users,view_reports,view_audit\n"
    "王会计\tapprover\tapprove,delete_orders,view_reports,view_audit\n"
    "李出纳\toperator\tdelete_orders,view_reports\n";
constexpr const char* kAll =
    "approve,maintain_master_data,delete_orders,manage_users,view_reports,view_audit";

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(UserAdmin, UsersAreListedAddedChangedAndRemovedBesideARunningServer) {
    ServerProcess server;
    std::string out;
    ASSERT_EQ(server.runCommand({"user", "list"}, "", &out), 0);
    EXPECT_EQ(out, kDemoUsers);

    ASSERT_EQ(server.runCommand({"user", "add", "赵会计"}, "secret one\n", &out), 0);
    EXPECT_EQ(out, "added user 赵会计 (operator)\n");
    EXPECT_TRUE(logsIn(server, "赵会计", "secret one"));
    EXPECT_EQ(server.runCommand({"user", "add", "赵会计"}, "other\n"), 1);
    EXPECT_EQ(server.runCommand({"user", "add", "钱会计"}, "\n"), 1);  // an empty password never logs in
    EXPECT_EQ(server.runCommand({"user", "add", "孙会计"}, ""), 1);    // no password at all

    ASSERT_EQ(server.runCommand({"user", "passwd", "赵会计"}, "secret two\r\n"), 0);
    EXPECT_FALSE(logsIn(server, "赵会计", "secret one"));
    EXPECT_TRUE(logsIn(server, "赵会计", "secret two"));
    EXPECT_EQ(server.runCommand({"user", "passwd", "nobody"}, "x\n"), 1);

    ASSERT_EQ(server.runCommand({"user", "del", "赵会计"}, ""), 0);
    EXPECT_FALSE(logsIn(server, "赵会计", "secret two"));
    EXPECT_EQ(server.runCommand({"user", "del", "赵会计"}, ""), 1);
    EXPECT_EQ(server.runCommand({"user", "rename", "x"}, ""), 2);
    ASSERT_EQ(server.runCommand({"user", "list"}, "", &out), 0);
    EXPECT_EQ(out, kDemoUsers);
    EXPECT_EQ(server.scalar("select count(*) from user1 where password1 not like '$argon2id$%'"), "0");
}

TEST(UserAdmin, AnOldDatabaseWithPlainTextPasswordsIsConvertedAtItsFirstStart) {
    ServerProcess old;
    old.stop();
    // As an earlier version left it: passwords as typed, logins without the peer columns.
    old.execute(
        "update user1 set password1 = case username when '管理员' then 'Plain-Admin-7731' "
        "when '王会计' then 'Plain-Clerk-7732' else 'Plain-Cash-7733' end");
    old.execute("alter table server_logins drop column peer");
    old.execute("alter table server_logins drop column sessionuser");
    old.execute("alter table user1 drop column role");
    std::string before = old.scalar("select count(*) || '|' || sum(length(khname)) from kh");

    ServerProcess::Options options;
    options.demo = false;
    options.databasePath = old.databasePath();
    ServerProcess server(options);
    EXPECT_NE(server.log().find("stored the passwords of 3 users as hashes"), std::string::npos)
        << server.log();
    EXPECT_TRUE(logsIn(server, "管理员", "Plain-Admin-7731"));
    EXPECT_TRUE(logsIn(server, "王会计", "Plain-Clerk-7732"));
    EXPECT_TRUE(logsIn(server, "李出纳", "Plain-Cash-7733"));
    EXPECT_FALSE(logsIn(server, "管理员", "vantu"));
    EXPECT_EQ(server.scalar("select count(*) || '|' || sum(length(khname)) from kh"), before);
    // Before roles everyone could do everything: every user became an administrator.
    EXPECT_EQ(server.query("select role from user1 order by username"),
              (std::vector<std::string>{"admin", "admin", "admin"}));

    Client c(server, Client::LoggedOut);
    loginAs(c.connection, "管理员", "Plain-Admin-7731");
    auto app = c.connection.getServer();
    std::string computer = "PC", address = "10.0.0.1", user = "管理员", when = "now";
    app->AddUser(computer, address, user, when);
    EXPECT_EQ(server.scalar("select sessionuser from server_logins"), "管理员");

    if (onPostgres()) return;  // the rest reads SQLite's files
    for (const char* suffix : {"", "-wal"}) {
        std::string bytes = fileBytes(server.databasePath() + suffix);
        EXPECT_EQ(bytes.find("Plain-"), std::string::npos) << "found in " << server.databasePath() << suffix;
    }
}

TEST(UserAdmin, UsersAreAddedWithTheirRoleWhichNoClientCanReadOrWrite) {
    ServerProcess::Options empty;
    empty.demo = false;
    ServerProcess server(empty);
    std::string out;
    // The first user of a database administers it; later ones are operators unless told.
    ASSERT_EQ(server.runCommand({"user", "add", "甲"}, "pw-one\n", &out), 0);
    EXPECT_EQ(out, "added user 甲 (admin)\n");
    ASSERT_EQ(server.runCommand({"user", "add", "乙"}, "pw-two\n", &out), 0);
    EXPECT_EQ(out, "added user 乙 (operator)\n");
    ASSERT_EQ(server.runCommand({"user", "add", "丙", "--role", "approver"}, "pw-three\n", &out), 0);
    EXPECT_EQ(out, "added user 丙 (approver)\n");
    EXPECT_EQ(server.runCommand({"user", "add", "丁", "--role", "boss"}, "pw\n"), 1);
    EXPECT_EQ(server.runCommand({"user", "del", "乙", "--role", "admin"}, ""), 1);
    ASSERT_EQ(server.runCommand({"user", "list"}, "", &out), 0);
    EXPECT_EQ(out, std::string("甲\tadmin\t") + kAll +
                       "\n乙\toperator\tdelete_orders,view_reports\n丙\tapprover\tapprove,delete_orders,view_"
                       "reports,view_audit\n");

    // A role change takes the role's preset rights; a disabled user cannot log in; the last
    // administrator stays.
    ASSERT_EQ(server.runCommand({"user", "role", "乙", "approver"}, "", &out), 0);
    EXPECT_EQ(out, "乙 is now approver\n");
    EXPECT_EQ(server.runCommand({"user", "role", "甲", "operator"}, ""), 1);
    EXPECT_EQ(server.runCommand({"user", "disable", "甲"}, ""), 1);
    ASSERT_EQ(server.runCommand({"user", "disable", "丙"}, "", &out), 0);
    ASSERT_EQ(server.runCommand({"user", "list"}, "", &out), 0);
    EXPECT_EQ(out, std::string("甲\tadmin\t") + kAll +
                       "\n乙\tapprover\tapprove,delete_orders,view_reports,view_audit\n"
                       "丙\tapprover\tapprove,delete_orders,view_reports,view_audit\tdisabled\n");
    Client disabled(server, Client::LoggedOut);
    EXPECT_ANY_THROW(loginAs(disabled.connection, "丙", "pw-three"));
    ASSERT_EQ(server.runCommand({"user", "enable", "丙"}, "", &out), 0);
    EXPECT_EQ(out, "enabled user 丙\n");
    ASSERT_EQ(server.runCommand({"user", "role", "乙", "operator"}, "", &out), 0);

    // Single rights adjusted, and the preset given back; unknown names and the last
    // administrator's right to manage users are refused.
    ASSERT_EQ(server.runCommand({"user", "rights", "乙", "maintain_master_data, view_reports"}, "", &out), 0);
    EXPECT_EQ(out, "乙 may now: maintain_master_data,view_reports\n");
    EXPECT_EQ(server.scalar("select rights from user1 where username = '乙'"),
              "maintain_master_data,view_reports");
    EXPECT_EQ(server.runCommand({"user", "rights", "乙", "fly"}, ""), 1);
    EXPECT_EQ(server.runCommand({"user", "rights", "甲", "approve"}, ""), 1);
    EXPECT_EQ(server.runCommand({"user", "rights", "nobody", "approve"}, ""), 1);
    ASSERT_EQ(server.runCommand({"user", "rights", "乙", "preset"}, "", &out), 0);
    EXPECT_EQ(out, "乙 may now: delete_orders,view_reports\n");
    EXPECT_EQ(server.scalar("select coalesce(rights, 'null') from user1 where username = '乙'"), "null");

    Client c(server, Client::LoggedOut);
    loginAs(c.connection, "乙", "pw-two");
    for (const char* sql : {"select role from user1", "select username, role from user1 where role = 'admin'",
                            "update user1 set role = 'admin'"})
        EXPECT_NE(refusal([&] { Client::requery(c.dm().ClientDataSethz, sql); }), "<served>") << sql;
    // The login's own statements answer without the role.
    Client::requery(c.dm().ClientDataSethz, loginCheckStatement("乙", "pw-two"));
    EXPECT_EQ(c.dm().ClientDataSethz.FieldCount(), 2);
    EXPECT_EQ(server.scalar("select role from user1 where username = '乙'"), "operator");
}

}  // namespace
}  // namespace velmora::test
