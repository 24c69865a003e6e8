// The real server against a peer that speaks the protocol to harm it: object references it
// hands over to be called back, error blocks sent where none belong.

#include <gtest/gtest.h>

#include <thread>

#include "tests/fullstack/RawRequests.h"

namespace velmora::test {
namespace {

// An object reference to the sender's object 0, as the wire carries it.
void writeObjectReference(DataBlock& block) {
    block.writeLE<uint32_t>(9);
    block.writeLE<int32_t>(0);
}

// RemoteGetRecords of the user list (allowed before a login) with OwnerData, which comes back
// by reference, holding the client's object.
DataBlock userListOwningAnObject() {
    DataBlock invoke(0xDA02);
    for (int32_t v : {0, 20000001, 1}) writeInteger(invoke, v);
    writeBoolean(invoke, true);
    writeInteger(invoke, 7);
    writeInteger(invoke, 0);
    invoke.writeLE<uint32_t>(0x4000);
    writeObjectReference(invoke);
    writeVariant(invoke, std::move(Variant().setRef(RefKind::Variant)), nullptr);
    writeText(invoke, "select username from user1");
    writeInteger(invoke, 1);
    writeVariant(invoke, std::move(Variant(int32_t{0}).setRef(RefKind::Typed)), nullptr);
    writeInteger(invoke, -1);
    writeText(invoke, "DataSetProviderhz");
    return invoke;
}

// An invoke of member 1 on the server's object index, which would call the client back if it
// were the client's own object reflected.
DataBlock invokeObject(int32_t index) {
    DataBlock invoke(0xDA02);
    for (int32_t v : {index, 1, 1}) writeInteger(invoke, v);
    writeBoolean(invoke, false);
    writeInteger(invoke, 0);
    writeInteger(invoke, 0);
    return invoke;
}

TEST(ServerWireAttack, AReflectedObjectReferenceIsRefusedAndNeverCalledBack) {
    ServerProcess server;
    RawSocket socket = RawSocket::connectTo(server.port());
    createServerObject(socket);
    DataBlock reply = exchange(socket, userListOwningAnObject());
    EXPECT_EQ(reply.signature(), 0xDB01u);
    EXPECT_EQ(readText(reply), "Object references are not accepted here");
    // Each call back would be answered by another call, one level deeper each time: the way
    // the server once ran out of stack.
    int callsFromServer = 0;
    for (int round = 0; round < 5000; ++round) {
        DataBlock call = invokeObject(1);
        socket.writeBlock(call);
        std::optional<DataBlock> answer = socket.readBlock();
        ASSERT_TRUE(answer) << "the server went away in round " << round;
        if (!answer->isReply()) ++callsFromServer;
    }
    EXPECT_EQ(callsFromServer, 0);
    EXPECT_TRUE(serves(server));
}

TEST(ServerWireAttack, ABlockOfManyObjectReferencesIsRefusedAtOnce) {
    ServerProcess server;
    RawSocket socket = RawSocket::connectTo(server.port());
    // Logged in: before a login, a block this large is refused for its size alone.
    logInRaw(socket);
    DataBlock invoke(0xDA02);
    for (int32_t v : {0, 20000002, 1}) writeInteger(invoke, v);
    writeBoolean(invoke, true);
    writeInteger(invoke, 2);
    writeInteger(invoke, 0);
    constexpr int32_t kReferences = 400000;
    invoke.writeLE<uint32_t>(0x200C);
    for (int32_t v : {1, 0, kReferences - 1}) invoke.writeLE<int32_t>(v);
    for (int32_t i = 0; i < kReferences; ++i) writeObjectReference(invoke);
    writeText(invoke, "DataSetProviderkh");
    DataBlock reply = exchange(socket, std::move(invoke));
    EXPECT_EQ(reply.signature(), 0xDB01u);
    EXPECT_EQ(readText(reply), "Object references are not accepted here");
    EXPECT_TRUE(serves(server));
}

TEST(ServerWireAttack, ErrorBlocksFromTheClientLeaveItsSessionOpen) {
    ServerProcess server;
    RawSocket socket = RawSocket::connectTo(server.port());
    DataBlock asRequest(0xDA01);
    writeText(asRequest, "boom");
    DataBlock reply = exchange(socket, std::move(asRequest));
    EXPECT_EQ(reply.signature(), 0xDB01u);
    EXPECT_EQ(readText(reply), "Invalid action received: 1");
    DataBlock stray(0xDB01);
    writeText(stray, "boom");
    socket.writeBlock(stray);
    createServerObject(socket);
    EXPECT_TRUE(logShows(server, "sent an error no call waited for: boom")) << server.log();
}

}  // namespace
}  // namespace velmora::test
