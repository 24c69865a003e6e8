// What a serving connection does with malformed input from a client sent on a raw socket: an
// error reply where the stream is still in step, a closed connection where it is not, and the
// other clients served as before.

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/WaitUntil.h"
#include "tests/transport/TestObjects.h"
#include "tests/transport/TestPeers.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"

namespace velmora::test {
namespace {

class ServerInput : public ::testing::Test {
  protected:
    // Sends block and returns the server's reply.
    DataBlock exchange(RawSocket& socket, DataBlock block) {
        socket.writeBlock(block);
        std::optional<DataBlock> reply = socket.readBlock();
        EXPECT_TRUE(reply);
        return reply ? std::move(*reply) : DataBlock();
    }

    DataBlock createCalculator(RawSocket& socket) {
        DataBlock create(0xDA04);
        writeText(create, kCalculatorProgId);
        return exchange(socket, std::move(create));
    }

    bool stillServes() {
        SocketConnection c;
        c.setServerName(kCalculatorProgId);
        c.setAddress("127.0.0.1");
        c.setPort(server.port());
        c.open();
        std::vector<Variant> args{Variant(2), Variant(3)};
        c.getServer()->callByName("Add", args);
        return c.connected();
    }

    ClassRegistry classes = calculatorClasses();
    LoopbackServer server{classes};
};

TEST_F(ServerInput, TruncatedInvokeGetsAnErrorReplyAndTheConnectionGoesOn) {
    RawSocket socket = RawSocket::connectTo(server.port());
    DataBlock created = createCalculator(socket);
    EXPECT_EQ(created.signature(), 0xDB04u);

    DataBlock invoke(0xDA02);
    writeInteger(invoke, 0);
    writeInteger(invoke, 1);
    writeInteger(invoke, 1);  // and nothing more
    DataBlock reply = exchange(socket, std::move(invoke));
    EXPECT_EQ(reply.signature(), 0xDB01u);
    EXPECT_EQ(readText(reply), "Invalid data packet");

    DataBlock again = createCalculator(socket);
    EXPECT_EQ(again.signature(), 0xDB04u);
}

TEST_F(ServerInput, UnknownActionAndBadObjectIndexGetErrorReplies) {
    RawSocket socket = RawSocket::connectTo(server.port());
    DataBlock unknown = exchange(socket, DataBlock(0xDA07));
    EXPECT_EQ(unknown.signature(), 0xDB01u);
    EXPECT_EQ(readText(unknown), "Invalid action received: 7");

    DataBlock names(0xDA03);
    writeInteger(names, 42);
    writeText(names, "Add");
    DataBlock reply = exchange(socket, std::move(names));
    EXPECT_EQ(reply.signature(), 0xDB01u);
    EXPECT_EQ(readText(reply), "Object not available: 42");

    DataBlock stray = exchange(socket, DataBlock(0xDB02));
    EXPECT_EQ(stray.signature(), 0xDB01u);

    DataBlock tooMany(0xDA02);
    for (int32_t v : {0, 1, 1}) writeInteger(tooMany, v);
    writeBoolean(tooMany, true);
    writeInteger(tooMany, 65);
    writeInteger(tooMany, 0);
    DataBlock refused = exchange(socket, std::move(tooMany));
    EXPECT_EQ(readText(refused), "Dispatch methods do not support more than 64 parameters");
}

TEST_F(ServerInput, OversizedDeclarationClosesOnlyThatConnection) {
    RawSocket socket = RawSocket::connectTo(server.port());
    uint8_t header[8] = {0x02, 0xDA, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    socket.writeBytes(header, sizeof header);
    EXPECT_TRUE(socket.closedByPeer());
    EXPECT_TRUE(stillServes());
    waitUntil([&] { return !server.failures().empty(); });
    ASSERT_FALSE(server.failures().empty());
    EXPECT_EQ(server.failures()[0], "Invalid data packet");
}

TEST_F(ServerInput, BadSignatureAndMidBlockCloseEndTheConnectionCleanly) {
    {
        RawSocket socket = RawSocket::connectTo(server.port());
        uint8_t junk[8] = {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T'};
        socket.writeBytes(junk, sizeof junk);
        EXPECT_TRUE(socket.closedByPeer());
    }
    {
        RawSocket socket = RawSocket::connectTo(server.port());
        uint8_t partial[10] = {0x02, 0xDA, 0, 0, 50, 0, 0, 0, 1, 2};
        socket.writeBytes(partial, sizeof partial);
    }
    EXPECT_TRUE(stillServes());
}

TEST_F(ServerInput, ErrorBlocksFromTheClientNeverEndTheConnection) {
    RawSocket socket = RawSocket::connectTo(server.port());
    // An error sent as a request is no request this side knows.
    DataBlock asRequest(0xDA01);
    writeText(asRequest, "boom");
    DataBlock reply = exchange(socket, std::move(asRequest));
    EXPECT_EQ(reply.signature(), 0xDB01u);
    EXPECT_EQ(readText(reply), "Invalid action received: 1");
    // An error reply no call waits for is dropped without an answer.
    DataBlock stray(0xDB01);
    writeText(stray, "boom");
    socket.writeBlock(stray);
    EXPECT_EQ(createCalculator(socket).signature(), 0xDB04u);
    EXPECT_TRUE(server.failures().empty());
}

// An invoke of the calculator's CallBack(object, 21) whose object is the client's index 0.
DataBlock callBackWithObject() {
    DataBlock invoke(0xDA02);
    for (int32_t v : {0, 5, 1}) writeInteger(invoke, v);
    writeBoolean(invoke, true);
    writeInteger(invoke, 2);
    writeInteger(invoke, 0);
    writeInteger(invoke, 21);
    invoke.writeLE<uint32_t>(9);
    invoke.writeLE<int32_t>(0);
    return invoke;
}

TEST(ServerRules, ADataServerRefusesTheClientsObjectsAndNeverCallsThem) {
    ClassRegistry classes = calculatorClasses();
    LoopbackServer server{classes, ServerConnectionRules{}};
    RawSocket socket = RawSocket::connectTo(server.port());
    DataBlock create(0xDA04);
    writeText(create, kCalculatorProgId);
    socket.writeBlock(create);
    ASSERT_TRUE(socket.readBlock());
    DataBlock invoke = callBackWithObject();
    socket.writeBlock(invoke);
    std::optional<DataBlock> reply = socket.readBlock();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->signature(), 0xDB01u);  // not a call back to the client
    EXPECT_EQ(readText(*reply), "Object references are not accepted here");
}

TEST(ServerRules, ACallBackTheClientNeverAnswersEndsAtTheTimeLimit) {
    ClassRegistry classes = calculatorClasses();
    LoopbackServer server{classes, ServerConnectionRules{true, 200}};
    RawSocket socket = RawSocket::connectTo(server.port());
    DataBlock create(0xDA04);
    writeText(create, kCalculatorProgId);
    socket.writeBlock(create);
    ASSERT_TRUE(socket.readBlock());
    DataBlock invoke = callBackWithObject();
    socket.writeBlock(invoke);
    std::optional<DataBlock> callBack = socket.readBlock();  // the server asks for "Twice"; no answer
    ASSERT_TRUE(callBack);
    EXPECT_EQ(callBack->signature(), 0xDA03u);
    std::optional<DataBlock> reply = socket.readBlock();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->signature(), 0xDB02u);
    EXPECT_EQ(readInteger(*reply), kDispException);
    readInteger(*reply);
    EXPECT_EQ(readText(*reply), "No reply from the peer within 0.2 s");
}

}  // namespace
}  // namespace velmora::test
