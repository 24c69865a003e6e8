// Resuming a lost session against the real server: a token logs a new connection in once, also
// after a restart; a used, expired or another user's token is refused with a clear text and a
// log line, and no token is ever written to the log.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

constexpr const char* kNotLoggedIn = "请先登录 (not logged in)";
constexpr const char* kInvalid = "恢复登录失败：凭据无效，请重新登录 (the resume token is not valid)";
constexpr const char* kExpired = "恢复登录失败：登录已过期，请重新登录 (the resume token has expired)";

std::string tokenOf(Client& client) {
    return client.connection.getServer()->GetResumeToken();
}

std::string resume(Client& client, const std::string& user, const std::string& token) {
    return client.connection.getServer()->ResumeSession(user, token);
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(ResumeSession, ATokenLogsANewConnectionInOnceEvenAfterARestartAndIsNeverLogged) {
    ServerProcess server;
    std::string token;
    {
        Client first(server);
        token = tokenOf(first);
    }
    server.restart();
    Client second(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { second.dm().ClientDataSetkh.Open(); }), kNotLoggedIn);
    std::string next = resume(second, "管理员", token);
    second.dm().ClientDataSetkh.Close();
    second.dm().ClientDataSetkh.Open();
    EXPECT_EQ(second.dm().ClientDataSetkh.RecordCount(), 10);
    EXPECT_NE(next, token);

    Client replay(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { resume(replay, "管理员", token); }), kInvalid);
    EXPECT_EQ(refusal([&] { replay.dm().ClientDataSetkh.Open(); }), kNotLoggedIn);
    EXPECT_TRUE(logShows(server, "resumed the session as 管理员"));
    EXPECT_TRUE(logShows(server, "resume as 管理员 refused, the token is unknown or used"));
    std::string log = server.log();
    EXPECT_EQ(log.find(token), std::string::npos);
    EXPECT_EQ(log.find(next), std::string::npos);
    // The client's tables cannot read the tokens' hashes either.
    Client reader(server);
    EXPECT_NE(refusal([&] { Client::requery(reader.dm().ClientDataSethz, "select * from resume_tokens"); }),
              "<served>");
}

TEST(ResumeSession, AnotherUsersTokenIsRefusedAndRevoked) {
    ServerProcess server;
    Client owner(server);
    std::string token = tokenOf(owner);
    Client thief(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { resume(thief, "王会计", token); }), kInvalid);
    EXPECT_EQ(refusal([&] { resume(thief, "管理员", token); }), kInvalid);
    EXPECT_TRUE(logShows(server, "resume as 王会计 refused, the token was issued to another user"));
    // A logged-in connection does not resume on top of its login.
    std::string again = tokenOf(owner);
    EXPECT_EQ(refusal([&] { resume(owner, "管理员", again); }),
              "已经登录 (this connection is logged in already)");
}

TEST(ResumeSession, ChangingTheOwnPasswordEndsTheUsersOtherTokensButNotThisOne) {
    ServerProcess server;
    std::string elsewhere, other, mine;
    {
        Client stolen(server);  // a session begun with the old password, say on a lost laptop
        elsewhere = tokenOf(stolen);
    }
    Client colleague(server, Client::LoggedOut);
    loginAs(colleague.connection, "王会计", "1234");
    other = tokenOf(colleague);
    {
        Client changer(server);
        mine = tokenOf(changer);
        ClientDataSet& hz = changer.dm().ClientDataSethz;
        hz.Close();
        hz.setCommandText("update user1 set password1 = 'n3w-secret' where username = '管理员'");
        hz.Execute();
    }
    EXPECT_TRUE(logShows(server, ": changed the password")) << server.log();
    Client thief(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { resume(thief, "管理员", elsewhere); }), kInvalid);
    Client back(server, Client::LoggedOut);
    EXPECT_NE(resume(back, "管理员", mine), "");
    Client colleagueBack(server, Client::LoggedOut);
    EXPECT_NE(resume(colleagueBack, "王会计", other), "");  // another user's tokens stay
}

TEST(ResumeSession, ATokenExpiresTheResumeTimeoutAfterItsConnectionEnded) {
    ServerProcess::Options options;
    options.extraArgs = {"--resume-timeout", "1"};
    ServerProcess server(options);
    std::string token;
    {
        Client owner(server);
        token = tokenOf(owner);
    }
    ASSERT_TRUE(waitUntil([&] { return occurrences(server.log(), ": disconnected") >= 1; }));
    // The token's end as the server stored it when the connection ended, in seconds since the
    // epoch; it has passed once the clock stands past it.
    ASSERT_TRUE(waitUntil([&] {
        int64_t expires = std::stoll(server.scalar("select max(expires) from resume_tokens"));
        int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
        return now > expires;
    }));
    Client late(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { resume(late, "管理员", token); }), kExpired);
    EXPECT_TRUE(logShows(server, "resume as 管理员 refused, the token has expired"));
}

}  // namespace
}  // namespace velmora::test
