// SocketConnection against a server played by hand on a raw socket: the exact blocks it sends,
// and what it does with replies, unsolicited blocks, errors and broken peers.

#include "transport/SocketConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "tests/support/WaitUntil.h"
#include "tests/transport/TestObjects.h"
#include "tests/transport/TestPeers.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

std::vector<uint8_t> payloadOf(const DataBlock& block) {
    return std::vector<uint8_t>(block.buffer().begin() + 8, block.buffer().end());
}

DataBlock objectReply(int32_t index) {
    DataBlock reply(replySignature(Action::CreateObject));
    reply.writeLE<uint32_t>(9);
    reply.writeLE<int32_t>(index);
    return reply;
}

// Opens `connection` against a RawServer, answering the create-object request by hand.
class RawServerConnection : public ::testing::Test {
  protected:
    void openAgainstRawServer() {
        connection.setAddress("127.0.0.1");
        connection.setPort(raw.port());
        connection.setServerGUID("{276F7104-2B30-4414-AD12-DE1160EAA8D1}");
        std::thread opener([this] { connection.open(); });
        peer.emplace(raw.accept());
        create = peer->readBlock();
        DataBlock reply = objectReply(0);
        peer->writeBlock(reply);
        opener.join();
    }

    std::atomic<int> hooked{0};
    RawServer raw;
    std::optional<RawSocket> peer;
    std::optional<DataBlock> create;
    SocketConnection connection;
};

TEST_F(RawServerConnection, CreateRequestCarriesTheClassIdAndCloseFreesTheObject) {
    openAgainstRawServer();
    ASSERT_TRUE(create);
    EXPECT_EQ(create->signature(), 0xDA04u);
    DataBlock expected(0xDA04);
    writeText(expected, "{276F7104-2B30-4414-AD12-DE1160EAA8D1}");
    EXPECT_EQ(payloadOf(*create), payloadOf(expected));
    EXPECT_TRUE(connection.connected());

    connection.close();
    std::optional<DataBlock> freeRequest = peer->readBlock();
    ASSERT_TRUE(freeRequest);
    EXPECT_EQ(freeRequest->signature(), 0xDA05u);
    EXPECT_EQ(payloadOf(*freeRequest), (std::vector<uint8_t>{3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(peer->closedByPeer());
    EXPECT_FALSE(connection.connected());
}

TEST_F(RawServerConnection, InvokeRequestLayoutIsExact) {
    openAgainstRawServer();
    auto server = connection.getServer();
    auto pending = std::async(std::launch::async, [&] {
        int32_t recsOut = 0;
        Variant params, ownerData;
        return server->RemoteGetRecords("DataSetProviderkh", -1, recsOut, 1, "select * from kh", params,
                                        ownerData);
    });
    std::optional<DataBlock> request = peer->readBlock();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->signature(), 0xDA02u);

    DataBlock expected(0xDA02);
    writeInteger(expected, 0);         // object index
    writeInteger(expected, 20000001);  // RemoteGetRecords
    writeInteger(expected, 1);         // flags: method
    writeBoolean(expected, true);      // result wanted
    writeInteger(expected, 7);
    writeInteger(expected, 0);
    expected.writeLE<uint32_t>(0x4000);  // OwnerData: by-reference variant, empty
    expected.writeLE<uint32_t>(0);
    expected.writeLE<uint32_t>(0x4000);  // Params
    expected.writeLE<uint32_t>(0);
    writeText(expected, "select * from kh");
    writeInteger(expected, 1);           // Options
    expected.writeLE<uint32_t>(0x4003);  // RecsOut
    expected.writeLE<int32_t>(0);
    writeInteger(expected, -1);  // Count
    writeText(expected, "DataSetProviderkh");
    EXPECT_EQ(payloadOf(*request), payloadOf(expected));

    DataBlock reply(0xDB02);
    writeInteger(reply, 0);
    writeVariant(reply, Variant(), nullptr);    // OwnerData
    writeVariant(reply, Variant(), nullptr);    // Params
    writeVariant(reply, Variant(12), nullptr);  // RecsOut
    writeVariant(reply, Variant::byteArray(Bytes("packet", 6)), nullptr);
    peer->writeBlock(reply);
    Variant packet = pending.get();
    ASSERT_TRUE(packet.isByteArray());
    EXPECT_EQ(packet.bytes(), Bytes("packet", 6));
}

TEST_F(RawServerConnection, ErrorReplyRaisesTheServersText) {
    openAgainstRawServer();
    auto server = connection.getServer();
    auto pending = std::async(std::launch::async, [&] {
        Variant params, ownerData;
        server->RemoteExecute("DataSetProviderhz", "update", params, ownerData);
    });
    ASSERT_TRUE(peer->readBlock());
    DataBlock error(0xDB01);
    writeText(error, "no such table: user9");
    peer->writeBlock(error);
    try {
        pending.get();
        FAIL() << "no error";
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "no such table: user9");
    }
    EXPECT_TRUE(connection.connected());
}

TEST_F(RawServerConnection, DispatchExceptionStatusCarriesDescriptionAndCode) {
    openAgainstRawServer();
    auto server = connection.getServer();
    auto pending = std::async(std::launch::async, [&] { return server->RemoteGetProviderNames(); });
    ASSERT_TRUE(peer->readBlock());
    DataBlock reply(0xDB02);
    writeInteger(reply, static_cast<int32_t>(0x80020009));
    writeInteger(reply, 77);
    writeText(reply, "UNIQUE constraint failed: kh.khid");
    writeVariant(reply, Variant(), nullptr);
    peer->writeBlock(reply);
    try {
        pending.get();
        FAIL() << "no error";
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "UNIQUE constraint failed: kh.khid");
        EXPECT_EQ(e.code(), 77);
    }
}

TEST_F(RawServerConnection, PeerClosingMidBlockGivesErrorReadingAndClosesTheConnection) {
    openAgainstRawServer();
    auto server = connection.getServer();
    auto pending = std::async(std::launch::async, [&] { return server->RemoteGetProviderNames(); });
    ASSERT_TRUE(peer->readBlock());
    uint8_t partial[12] = {0x02, 0xDB, 0, 0, 100, 0, 0, 0, 1, 2, 3, 4};
    peer->writeBytes(partial, sizeof partial);
    peer->close();
    try {
        pending.get();
        FAIL() << "no error";
    } catch (const SocketConnectionError& e) {
        EXPECT_STREQ(e.what(), "Error reading from socket");
    }
    // The thread's end follows its error notice; the connection closes once it has seen it.
    waitUntil([&] {
        connection.processNotices();
        return !connection.connected();
    });
    EXPECT_FALSE(connection.connected());
    EXPECT_THROW(server->RemoteGetProviderNames(), SocketConnectionError);
}

TEST_F(RawServerConnection, OversizedOrUnsignedBlocksAreRefused) {
    connection.setMaxPayload(1024);
    openAgainstRawServer();
    auto server = connection.getServer();
    auto pending = std::async(std::launch::async, [&] { return server->RemoteGetProviderNames(); });
    ASSERT_TRUE(peer->readBlock());
    uint8_t header[8] = {0x02, 0xDB, 0, 0, 0x01, 0x04, 0, 0};  // 1025 bytes declared
    peer->writeBytes(header, sizeof header);
    try {
        pending.get();
        FAIL() << "no error";
    } catch (const SocketConnectionError& e) {
        EXPECT_STREQ(e.what(), "Invalid data packet");
    }
    EXPECT_TRUE(peer->closedByPeer());
}

TEST_F(RawServerConnection, BadSignatureIsAnInvalidPacket) {
    openAgainstRawServer();
    auto server = connection.getServer();
    auto pending = std::async(std::launch::async, [&] { return server->RemoteGetProviderNames(); });
    ASSERT_TRUE(peer->readBlock());
    uint8_t header[8] = {5, 0, 0, 0, 0, 0, 0, 0};
    peer->writeBytes(header, sizeof header);
    EXPECT_THROW(pending.get(), SocketConnectionError);
}

TEST_F(RawServerConnection, UnsolicitedRequestReachesTheHookAndIsServedOnProcessing) {
    connection.setNoticeHook([&] { ++hooked; });
    openAgainstRawServer();
    hooked = 0;  // the open may leave a notice of its own behind, with a call of the hook
    DataBlock listRequest(0xDA10);
    peer->writeBlock(listRequest);
    ASSERT_TRUE(waitUntil([&] { return hooked > 0; }));
    connection.processNotices();
    ASSERT_TRUE(peer->readable(10000));
    std::optional<DataBlock> reply = peer->readBlock();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->signature(), 0xDB10u);
    EXPECT_EQ(payloadOf(*reply), (std::vector<uint8_t>{1, 0, 0, 0}));  // null: no classes here
}

TEST_F(RawServerConnection, UnsolicitedErrorReachesTheHookAndIsRaisedOnProcessing) {
    connection.setNoticeHook([&] { ++hooked; });
    openAgainstRawServer();
    hooked = 0;  // the open may leave a notice of its own behind, with a call of the hook
    DataBlock error(0xDB01);
    writeText(error, "服务器正在关闭");
    peer->writeBlock(error);
    ASSERT_TRUE(waitUntil([&] { return hooked > 0; }));
    try {
        connection.processNotices();
        FAIL() << "no error";
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "服务器正在关闭");
    }
}

TEST_F(RawServerConnection, UnknownActionFromTheServerIsAnsweredWithAnError) {
    openAgainstRawServer();
    DataBlock odd(0xDA07);
    peer->writeBlock(odd);
    waitUntil([&] {
        connection.processNotices();
        return peer->readable(0);
    });
    std::optional<DataBlock> reply = peer->readBlock();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->signature(), 0xDB01u);
    EXPECT_EQ(readText(*reply), "Invalid action received: 7");
}

TEST(SocketConnectionSetup, PropertiesAndTheirRules) {
    SocketConnection c;
    EXPECT_EQ(c.port(), 211);
    EXPECT_TRUE(c.supportCallbacks());
    EXPECT_FALSE(c.loginPrompt());
    c.setHost("server.local");
    c.setAddress("10.0.0.1");
    EXPECT_EQ(c.host(), "");
    c.setHost("server.local");
    EXPECT_EQ(c.address(), "");

    try {
        c.open();
        FAIL();
    } catch (const VelmoraError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot connect, SocketConnection1 must contain a valid ServerName or ServerGUID");
    }
    c.setServerName("brandolex.test");
    c.setHost("");
    try {
        c.open();
        FAIL();
    } catch (const SocketConnectionError& e) {
        EXPECT_STREQ(e.what(), "No address specified");
    }
    EXPECT_FALSE(c.connected());
}

TEST(SocketConnectionSetup, ConnectingWhereNothingListensFailsAndStaysClosed) {
    uint16_t port;
    {
        RawServer probe;  // a port that was free a moment ago
        port = probe.port();
    }
    for (bool callbacks : {true, false}) {
        SocketConnection c;
        c.setSupportCallbacks(callbacks);
        c.setServerName("brandolex.test");
        c.setAddress("127.0.0.1");
        c.setPort(port);
        try {
            c.open();
            FAIL();
        } catch (const SocketError& e) {
            EXPECT_STREQ(e.what(), "Windows socket error: Connection refused (111), on API 'connect'");
        }
        EXPECT_FALSE(c.connected());
        EXPECT_THROW(c.send(DataBlock(0xDA03), true), SocketConnectionError);
    }
}

TEST(SocketConnectionSetup, UnresolvableHostFailsInsteadOfReachingThisHost) {
    SocketConnection c;
    c.setServerName("brandolex.test");
    c.setHost("no-such-host.invalid");
    EXPECT_THROW(c.open(), SocketError);
    EXPECT_FALSE(c.connected());
}

class CountingIntercept : public DataIntercept {
  public:
    static std::atomic<int>& in() {
        static std::atomic<int> n{0};
        return n;
    }
    static std::atomic<int>& out() {
        static std::atomic<int> n{0};
        return n;
    }
    void dataIn(DataBlock&) override { ++in(); }
    void dataOut(DataBlock&) override { ++out(); }
};

TEST(SocketConnectionSetup, InterceptorSeesEveryBlockBothWays) {
    registerDataIntercept("{C0DE0000-0000-0000-0000-00000000CAFE}",
                          [] { return std::make_unique<CountingIntercept>(); });
    ClassRegistry classes = calculatorClasses();
    LoopbackServer server(classes);
    SocketConnection c;
    c.setInterceptGUID("{C0DE0000-0000-0000-0000-00000000CAFE}");
    c.setServerGUID(kCalculatorClassId);
    c.setAddress("127.0.0.1");
    c.setPort(server.port());
    c.open();
    std::vector<Variant> args{Variant(1), Variant(2)};
    c.getServer()->callByName("Add", args);
    EXPECT_EQ(CountingIntercept::out().load(), 3);  // create, member number, invoke
    EXPECT_EQ(CountingIntercept::in().load(), 3);
}

}  // namespace
}  // namespace velmora::test
