// The harnesses' login: the exact check text the program sends, and a refusal that is not
// mistaken for a login.

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/fullstack/FullstackHelpers.h"

namespace velmora::test {
namespace {

TEST(TestLogin, CheckStatementHasNoBlankBeforeAndAndDoublesQuotes) {
    EXPECT_EQ(loginCheckStatement("管理员", "vantu"),
              "select * from user1 where username='管理员'and password1='vantu'");
    EXPECT_EQ(loginCheckStatement("O'Neil", "a''b"),
              "select * from user1 where username='O''Neil'and password1='a''''b'");
}

TEST(TestLogin, RightPasswordLogsInAndAWrongOneThrows) {
    ServerProcess server;
    Client client(server);
    EXPECT_TRUE(client.connection.connected());
    Client::requery(client.dm().ClientDataSetkh, "select * from kh");
    EXPECT_EQ(client.dm().ClientDataSetkh.RecordCount(), 10);

    for (const char* password : {"wrong", "", "x' or '1'='1"}) {
        SocketConnection other;
        other.setServerGUID(client.connection.serverGUID());
        other.setAddress("127.0.0.1");
        other.setPort(server.port());
        EXPECT_THROW(loginAs(other, "管理员", password), std::runtime_error) << password;
        other.close();
    }
    SocketConnection clerk;
    clerk.setServerGUID(client.connection.serverGUID());
    clerk.setAddress("127.0.0.1");
    clerk.setPort(server.port());
    EXPECT_NO_THROW(loginAs(clerk, "王会计", "1234"));
    clerk.close();
}

TEST(TestLogin, LoggedOutClientLeavesTheConnectionClosed) {
    ServerProcess server;
    Client client(server, Client::LoggedOut);
    EXPECT_FALSE(client.connection.connected());
}

}  // namespace
}  // namespace velmora::test
