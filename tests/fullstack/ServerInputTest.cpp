// The real server under bad input and load: malformed blocks from a raw socket, unknown actions,
// oversized declarations, clients past the connection limit and clients that vanish mid-call.

#include <gtest/gtest.h>

#include <thread>

#include "tests/fullstack/RawRequests.h"

namespace velmora::test {
namespace {

TEST(ServerInput, MalformedRequestsGetErrorRepliesAndTheServerGoesOn) {
    ServerProcess server;
    RawSocket socket = RawSocket::connectTo(server.port());

    DataBlock unknown = exchange(socket, DataBlock(0xDA07));
    EXPECT_EQ(unknown.signature(), 0xDB01u);
    EXPECT_EQ(readText(unknown), "Invalid action received: 7");

    DataBlock create(0xDA04);
    writeText(create, "{00000000-0000-0000-0000-000000000000}");
    DataBlock refused = exchange(socket, std::move(create));
    EXPECT_EQ(readText(refused), "Object not available: {00000000-0000-0000-0000-000000000000}");

    DataBlock byProgId(0xDA04);
    writeText(byProgId, "brandolex.test");
    EXPECT_EQ(exchange(socket, std::move(byProgId)).signature(), 0xDB04u);

    DataBlock truncated(0xDA02);
    writeInteger(truncated, 0);
    truncated.writeLE<uint32_t>(3);  // a tag and no value
    DataBlock bad = exchange(socket, std::move(truncated));
    EXPECT_EQ(readText(bad), "Invalid data packet");

    // The same connection still answers well-formed requests.
    DataBlock names(0xDA03);
    writeInteger(names, 0);
    writeText(names, "GetSysTime");
    DataBlock reply = exchange(socket, std::move(names));
    EXPECT_EQ(reply.signature(), 0xDB03u);
    EXPECT_EQ(readInteger(reply), 0);
    EXPECT_TRUE(serves(server));
}

TEST(ServerInput, OversizedAndUnframedInputClosesOnlyThatConnection) {
    ServerProcess server;
    {
        RawSocket socket = RawSocket::connectTo(server.port());
        uint8_t header[8] = {0x02, 0xDA, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
        socket.writeBytes(header, sizeof header);
        EXPECT_TRUE(socket.closedByPeer());
    }
    {
        RawSocket socket = RawSocket::connectTo(server.port());
        const char junk[] = "GET / HTTP/1.0\r\n\r\n";
        socket.writeBytes(junk, sizeof junk - 1);
        EXPECT_TRUE(socket.closedByPeer());
    }
    {
        RawSocket socket = RawSocket::connectTo(server.port());
        uint8_t partial[12] = {0x02, 0xDA, 0, 0, 100, 0, 0, 0, 3, 0, 0, 0};
        socket.writeBytes(partial, sizeof partial);
    }
    EXPECT_TRUE(serves(server));
    logShows(server, "Invalid data packet");
    EXPECT_NE(server.log().find("closed, Invalid data packet"), std::string::npos) << server.log();
}

TEST(ServerInput, ConnectionsPastTheLimitAreRefusedWithALogLine) {
    ServerProcess::Options options;
    options.extraArgs = {"--max-connections", "2"};
    ServerProcess server(options);
    Client first(server), second(server);
    first.dm().ClientDataSetkh.Open();
    second.dm().ClientDataSetkh.Open();
    RawSocket third = RawSocket::connectTo(server.port());
    std::optional<DataBlock> told = third.readBlock();
    ASSERT_TRUE(told);
    EXPECT_EQ(readText(*told), "服务器忙 (server busy)");
    EXPECT_TRUE(third.closedByPeer());
    logShows(server, "refused");
    EXPECT_NE(server.log().find("refused, server busy: 2 connections are open already"), std::string::npos)
        << server.log();
}

TEST(ServerInput, AClientVanishingMidCallLeavesNoTransactionOpen) {
    ServerProcess server;
    for (int i = 0; i < 5; ++i) {
        RawSocket socket = RawSocket::connectTo(server.port());
        DataBlock create(0xDA04);
        writeText(create, "brandolex.test");
        ASSERT_EQ(exchange(socket, std::move(create)).signature(), 0xDB04u);
        DataBlock loggedIn = exchange(socket, getRecords(loginCheckStatement("管理员", "vantu")));
        ASSERT_EQ(readInteger(loggedIn), 0);
        // A query of the whole order view; the client is gone before the reply.
        DataBlock query =
            getRecords("select * from xsdview a, xsdview b where a.rq > '" + std::to_string(i) + "'");
        socket.writeBlock(query);
        socket.close();
    }
    // Each connection ends on the server's side; then writers get the database at once.
    auto disconnects = [&] {
        std::string log = server.log();
        int n = 0;
        for (size_t at = log.find(": disconnected"); at != std::string::npos;
             at = log.find(": disconnected", at + 1))
            ++n;
        return n;
    };
    waitUntil([&] { return disconnects() >= 5; }, std::chrono::seconds(15));
    ASSERT_EQ(disconnects(), 5) << server.log();
    Client writer(server);
    ClientDataSet& kh = writer.dm().ClientDataSetkh;
    Client::requery(kh, "select * from kh");
    kh.Edit();
    kh.FieldByName("tel").setAsString("000");
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
}

TEST(ServerInput, StopsCleanlyOnSigtermWithClientsConnected) {
    ServerProcess server;
    Client c(server);
    c.dm().ClientDataSetkh.Open();
    EXPECT_EQ(server.stop(), 0);
}

}  // namespace
}  // namespace velmora::test
