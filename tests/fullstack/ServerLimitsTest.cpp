// The real server's limits, each set short: connections that never log in or fall idle, blocks
// that stall, the slots kept for working users, memory for arriving blocks, the size and the
// running time of a result.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "tests/fullstack/FullstackHelpers.h"
#include "tests/fullstack/RawRequests.h"
#include "tests/support/RawSocket.h"
#include "transport/Errors.h"
#include "transport/VariantCodec.h"

namespace velmora::test {
namespace {

TEST(ServerLimits, ConnectionsThatNeverLogInOrFallIdleAreClosed) {
    ServerProcess server = serverWith({"--login-timeout", "0.5", "--idle-timeout", "0.7"});
    RawSocket silent = RawSocket::connectTo(server.port());
    // Busy with the login's user list, but never logged in: closed all the same.
    Client busy(server, Client::LoggedOut);
    std::string busyEnd;
    EXPECT_TRUE(waitUntil(
        [&] {
            busyEnd =
                refusal([&] { Client::requery(busy.dm().ClientDataSethz, "select username from user1"); });
            return busyEnd != "<served>";
        },
        std::chrono::seconds(20), std::chrono::milliseconds(50)));
    EXPECT_TRUE(silent.closedByPeer());
    EXPECT_TRUE(logShows(server, "closed, not logged in within 0.5 s")) << server.log();

    Client worker(server);
    worker.dm().ClientDataSetkh.Open();
    ASSERT_TRUE(logShows(server, ": closed, idle for 0.7 s")) << server.log();
    EXPECT_NE(refusal([&] { worker.dm().ClientDataSetywy.Open(); }), "<served>");
    EXPECT_TRUE(logShows(server, "管理员@127.0.0.1")) << server.log();
}

TEST(ServerLimits, ABlockWhoseBytesStopComingIsDroppedWithItsConnection) {
    ServerProcess server = serverWith({"--stall-timeout", "0.5"});
    RawSocket socket = RawSocket::connectTo(server.port());
    std::vector<uint8_t> start = blockStart(100, 4);
    socket.writeBytes(start.data(), start.size());
    EXPECT_TRUE(socket.closedByPeer());
    EXPECT_TRUE(logShows(server, "Block stalled")) << server.log();
}

TEST(ServerLimits, ConnectionsNotLoggedInTakeAtMostAQuarterOfTheSlots) {
    ServerProcess server = serverWith({"--max-connections", "8"});
    Client working(server);
    RawSocket first = RawSocket::connectTo(server.port());
    ASSERT_TRUE(logShows(server, "connected"));
    RawSocket second = RawSocket::connectTo(server.port());
    ASSERT_TRUE(
        waitUntil([&] { return server.log().find(": connected") != server.log().rfind(": connected"); }));
    // The third takes the place of the oldest, which may be anyone's.
    RawSocket third = RawSocket::connectTo(server.port());
    EXPECT_TRUE(first.closedByPeer());
    EXPECT_TRUE(logShows(server, "closed, the oldest of 2 connections that have not logged in, to make room"))
        << server.log();
    EXPECT_FALSE(third.readable(100));
    // The user already at work goes on; the second was not touched.
    working.dm().ClientDataSetkh.Open();
    EXPECT_EQ(working.dm().ClientDataSetkh.RecordCount(), 10);
    EXPECT_FALSE(second.readable(100));
}

TEST(ServerLimits, BytesBufferedForUnfinishedBlocksAreCappedOverAllConnections) {
    ServerProcess server = serverWith({"--max-buffer-mb", "3"});
    std::vector<uint8_t> part = blockStart(1536 * 1024, 1200 * 1024);
    // Logged in: before a login, blocks this large are refused for their size alone.
    RawSocket first = RawSocket::connectTo(server.port());
    logInRaw(first);
    first.writeBytes(part.data(), part.size());
    ASSERT_TRUE(waitUntil([&] { return first.readByPeer(); }));  // the server holds it all
    RawSocket second = RawSocket::connectTo(server.port());
    logInRaw(second);
    try {
        second.writeBytes(part.data(), part.size());
    } catch (const std::exception&) {
        // the server may close before every byte is taken
    }
    EXPECT_TRUE(second.closedByPeer());
    EXPECT_TRUE(logShows(server, "Memory for unfinished blocks exhausted (limit 3 MB)")) << server.log();
    EXPECT_FALSE(first.readable(200));  // the first block is still welcome
    Client c(server);
    c.dm().ClientDataSetkh.Open();
    EXPECT_EQ(c.dm().ClientDataSetkh.RecordCount(), 10);
}

TEST(ServerLimits, AResultPastTheSizeLimitIsRefusedAndTheConnectionGoesOn) {
    ServerProcess server = serverWith({"--max-result-mb", "1"});
    Client c(server);
    std::string big =
        "with recursive n(x) as (select 1 union all select x + 1 from n where x < 20000) "
        "select x, '" +
        std::string(100, 'x') + "' as filler from n";
    EXPECT_EQ(refusal([&] { Client::requery(c.dm().ClientDataSethz, big); }),
              "结果过大 (the result passed the size limit of 1 MB)");
    EXPECT_TRUE(logShows(server, "its result passed 1 MB")) << server.log();
    Client::requery(c.dm().ClientDataSetkh, "select * from kh");
    EXPECT_EQ(c.dm().ClientDataSetkh.RecordCount(), 10);
}

TEST(ServerLimits, AQueryPastTheTimeLimitIsStoppedWhileAnotherClientIsServed) {
    ServerProcess server = serverWith({"--query-timeout", "1"});
    Client slow(server);
    Client other(server);
    auto endless = std::async(std::launch::async, [&] {
        return refusal([&] {
            Client::requery(
                slow.dm().ClientDataSethz,
                "with recursive n(x) as (select 1 union all select x + 1 from n) select count(*) from n");
        });
    });
    // Meanwhile the other client reads and writes.
    Client::requery(other.dm().ClientDataSetywy, "select * from ywy");
    other.dm().ClientDataSetywy.Edit();
    other.dm().ClientDataSetywy.FieldByName("tel").setAsString("222");
    other.dm().ClientDataSetywy.Post();
    EXPECT_EQ(other.dm().ClientDataSetywy.ApplyUpdates(0), 0);
    EXPECT_EQ(endless.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    EXPECT_EQ(endless.get(), "查询超时 (the statement ran past the time limit of 1 s)");
    EXPECT_TRUE(logShows(server, "ran past the time limit of 1 s")) << server.log();
    Client::requery(slow.dm().ClientDataSetkh, "select * from kh");
    EXPECT_EQ(slow.dm().ClientDataSetkh.RecordCount(), 10);
}

TEST(ServerLimits, OneConnectionHoldsAtMostTheServerObjectsAllowed) {
    ServerProcess server = serverWith({"--max-objects", "2"});
    RawSocket socket = RawSocket::connectTo(server.port());
    auto create = [&] {
        DataBlock request(0xDA04);
        writeText(request, "brandolex.test");
        socket.writeBlock(request);
        return *socket.readBlock();
    };
    EXPECT_EQ(create().signature(), 0xDB04u);
    EXPECT_EQ(create().signature(), 0xDB04u);
    DataBlock third = create();
    ASSERT_EQ(third.signature(), 0xDB01u);
    EXPECT_EQ(readText(third), "Too many objects handed to the peer (at most 2)");
}

}  // namespace
}  // namespace velmora::test
