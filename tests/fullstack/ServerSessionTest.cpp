// What the real server serves before a login, how a login check logs a connection in, and what
// failed checks cost.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "tests/fullstack/RawRequests.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/VariantCodec.h"

namespace velmora::test {
namespace {

constexpr const char* kNotLoggedIn = "请先登录 (not logged in)";

int rowsOf(ClientDataSet& ds, const std::string& sql) {
    Client::requery(ds, sql);
    return ds.RecordCount();
}

TEST(ServerSession, BeforeALoginOnlyTheLoginStepsAreServedAndTheConnectionStaysOpen) {
    ServerProcess server;
    Client c(server, Client::LoggedOut);
    Tdm& dm = c.dm();
    ClientDataSet& hz = dm.ClientDataSethz;

    EXPECT_EQ(refusal([&] { dm.ClientDataSetkh.Open(); }), kNotLoggedIn);
    EXPECT_EQ(refusal([&] { rowsOf(hz, "select * from kh"); }), kNotLoggedIn);
    EXPECT_EQ(refusal([&] { rowsOf(hz, "select username from user1 where 1=1"); }), kNotLoggedIn);
    EXPECT_EQ(refusal([&] {
                  hz.Close();
                  hz.setCommandText("select username from kh");
                  hz.Execute();
              }),
              kNotLoggedIn);
    auto app = c.connection.getServer();
    Variant time;
    EXPECT_EQ(refusal([&] { app->GetSysTime(time); }), kNotLoggedIn);
    std::string computer = "PC", address = "10.0.0.9", user = "管理员", when = "2026-01-01";
    EXPECT_EQ(refusal([&] { app->AddUser(computer, address, user, when); }), kNotLoggedIn);
    EXPECT_EQ(refusal([&] { app->DelUser(computer, address, user, when); }), kNotLoggedIn);
    EXPECT_EQ(refusal([&] { app->RemoteGetProviderNames(); }), kNotLoggedIn);

    // The user list, the reset between the two statements, and the check are served.
    ASSERT_EQ(rowsOf(hz, "select username from user1"), 3);
    EXPECT_EQ(hz.FieldByName("username").AsString(), "管理员");
    EXPECT_EQ(rowsOf(hz, loginCheckStatement("管理员", "wrong")), 0);
    EXPECT_EQ(refusal([&] { dm.ClientDataSetkh.Open(); }), kNotLoggedIn);
    ASSERT_EQ(rowsOf(hz, loginCheckStatement("管理员", "vantu")), 1);
    EXPECT_EQ(hz.FieldByName("username").AsString(), "管理员");
    EXPECT_EQ(hz.FieldByName("password1").AsString(), "");  // no password travels back

    dm.ClientDataSetkh.Close();
    dm.ClientDataSetkh.Open();
    EXPECT_EQ(dm.ClientDataSetkh.RecordCount(), 10);
    app->GetSysTime(time);
    when = time.toString();
    app->AddUser(computer, address, user, when);
    // What the client says of itself is kept next to who really connected.
    EXPECT_EQ(
        server.scalar("select sessionuser || '|' || address || '|' || "
                      "case when peer like '127.0.0.1:%' then 'peer' else 'none' end from server_logins"),
        "管理员|10.0.0.9|peer");
    std::string log = server.log();
    EXPECT_NE(log.find("refused DataSetProviderkh: not logged in"), std::string::npos) << log;
    EXPECT_NE(log.find("logged in as 管理员"), std::string::npos) << log;
}

TEST(ServerSession, RawRequestsBeforeALoginGetErrorRepliesNotACrash) {
    ServerProcess server;
    RawSocket socket = RawSocket::connectTo(server.port());
    createServerObject(socket);
    // RemoteExecute of a statement that would change every customer, arguments last declared first.
    DataBlock invoke(0xDA02);
    for (int32_t v : {0, 20000006, 1}) writeInteger(invoke, v);
    writeBoolean(invoke, false);
    writeInteger(invoke, 4);
    writeInteger(invoke, 0);
    for (int k = 0; k < 2; ++k) writeVariant(invoke, std::move(Variant().setRef(RefKind::Variant)), nullptr);
    writeText(invoke, "update kh set tel = 'x'");
    writeText(invoke, "DataSetProviderkh");
    socket.writeBlock(invoke);
    std::optional<DataBlock> reply = socket.readBlock();
    ASSERT_TRUE(reply);
    ASSERT_EQ(readInteger(*reply), static_cast<int32_t>(0x80020009));
    readInteger(*reply);
    EXPECT_EQ(readText(*reply), kNotLoggedIn);
    EXPECT_EQ(server.scalar("select count(*) from kh where tel = 'x'"), "0");
}

TEST(ServerSession, QuotesInTheLoginValuesAreUndoneAndAnEmptyPasswordNeverMatches) {
    ServerProcess server;
    server.addUser("O'Brien", "it's me");
    Client quoted(server, Client::LoggedOut);
    EXPECT_EQ(rowsOf(quoted.dm().ClientDataSethz, loginCheckStatement("O'Brien", "it's me")), 1);
    EXPECT_EQ(rowsOf(quoted.dm().ClientDataSethz, loginCheckStatement("O'Brien", "it''s me")), 0);

    Client empty(server, Client::LoggedOut);
    EXPECT_EQ(rowsOf(empty.dm().ClientDataSethz, loginCheckStatement("管理员", "")), 0);
    // The classic injection is not the login's statement, so before a login it is refused.
    EXPECT_EQ(refusal([&] {
                  rowsOf(empty.dm().ClientDataSethz,
                         "select * from user1 where username='管理员'and password1='x' or '1'='1'");
              }),
              kNotLoggedIn);
}

TEST(ServerSession, FiveFailedChecksCloseTheConnectionAndRepeatedFailuresAreSlowedDown) {
    ServerProcess server;
    Client c(server, Client::LoggedOut);
    ClientDataSet& hz = c.dm().ClientDataSethz;
    std::vector<double> seconds;
    for (int i = 0; i < 4; ++i) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(rowsOf(hz, loginCheckStatement("管理员", "guess" + std::to_string(i))), 0);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    // Each wait doubles from the second check on: 0, 0.25, 0.5, 1 s (lower bounds: a loaded
    // machine only adds to them).
    EXPECT_GE(seconds[1], 0.25);
    EXPECT_GE(seconds[2], 0.5);
    EXPECT_GE(seconds[3], 1.0);
    // The fifth is answered, then the connection goes.
    EXPECT_EQ(rowsOf(hz, loginCheckStatement("管理员", "guess4")), 0);
    EXPECT_NE(refusal([&] { rowsOf(hz, "select username from user1"); }), "<served>");
    EXPECT_TRUE(logShows(
        server, "login as 管理员 failed (5 on this connection, 5 in a row from 127.0.0.1, 5 against 管理员)"))
        << server.log();
    EXPECT_TRUE(logShows(server, "closed, 5 failed logins")) << server.log();

    // The right password still logs in from there; the wait clears after it.
    Client again(server, Client::LoggedOut);
    EXPECT_EQ(rowsOf(again.dm().ClientDataSethz, loginCheckStatement("管理员", "vantu")), 1);
    again.dm().ClientDataSetkh.Open();
    EXPECT_EQ(again.dm().ClientDataSetkh.RecordCount(), 10);
}

TEST(ServerSession, OnesOwnLoginsDoNotSpeedUpGuessesAtSomeoneElse) {
    ServerProcess server;
    auto guessAtAdministrator = [&](int round) {
        Client guess(server, Client::LoggedOut);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(rowsOf(guess.dm().ClientDataSethz,
                         loginCheckStatement("管理员", "guess" + std::to_string(round))),
                  0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double last = 0;
    for (int round = 0; round < 3; ++round) {
        last = guessAtAdministrator(round);
        Client own(server, Client::LoggedOut);
        loginAs(own.connection, "李出纳", "5678");
    }
    // The third guess waited as if the logins between had not happened.
    EXPECT_GE(last, 0.5);
    EXPECT_TRUE(logShows(server, "the check as 管理员 waits 500 ms")) << server.log();
    EXPECT_TRUE(logShows(server, "3 against 管理员)")) << server.log();
}

}  // namespace
}  // namespace velmora::test
