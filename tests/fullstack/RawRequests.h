#pragma once
// Requests written block by block, as a peer that speaks the protocol itself sends them.

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fullstack/FullstackHelpers.h"
#include "tests/support/RawSocket.h"
#include "transport/VariantCodec.h"

namespace velmora::test {

// Sends block and returns the server's answer; throws when the server closed instead.
inline DataBlock exchange(RawSocket& socket, DataBlock block) {
    socket.writeBlock(block);
    std::optional<DataBlock> reply = socket.readBlock();
    if (!reply) throw std::runtime_error("the server closed the connection");
    return std::move(*reply);
}

// Creates the server object by its program id; it gets the index 0.
inline void createServerObject(RawSocket& socket) {
    DataBlock create(0xDA04);
    writeText(create, "brandolex.test");
    ASSERT_EQ(exchange(socket, std::move(create)).signature(), 0xDB04u);
}

// RemoteGetRecords on DataSetProviderhz for all rows of sql; arguments last declared first.
inline DataBlock getRecords(const std::string& sql) {
    DataBlock invoke(0xDA02);
    for (int32_t v : {0, 20000001, 1}) writeInteger(invoke, v);
    writeBoolean(invoke, true);
    writeInteger(invoke, 7);
    writeInteger(invoke, 0);
    for (int k = 0; k < 2; ++k) writeVariant(invoke, std::move(Variant().setRef(RefKind::Variant)), nullptr);
    writeText(invoke, sql);
    writeInteger(invoke, 1);
    writeVariant(invoke, std::move(Variant(int32_t{0}).setRef(RefKind::Typed)), nullptr);
    writeInteger(invoke, -1);
    writeText(invoke, "DataSetProviderhz");
    return invoke;
}

// Creates the server object and logs the socket in with the login's check statement.
inline void logInRaw(RawSocket& socket, const std::string& user = "管理员",
                     const std::string& password = "vantu") {
    createServerObject(socket);
    DataBlock reply = exchange(socket, getRecords(loginCheckStatement(user, password)));
    ASSERT_EQ(reply.signature(), 0xDB02u) << (reply.signature() == 0xDB01u ? readText(reply) : "");
}

// The real server with more options, e.g. {"--max-connections", "8"}.
inline ServerProcess serverWith(std::vector<std::string> args) {
    ServerProcess::Options options;
    options.extraArgs = std::move(args);
    return ServerProcess(options);
}

// The first bytes of a request block that declares payload bytes, with sent of them (zeros).
inline std::vector<uint8_t> blockStart(uint32_t payload, size_t sent) {
    std::vector<uint8_t> bytes(8 + sent, 0);
    bytes[0] = 0x02;
    bytes[1] = 0xDA;
    std::memcpy(bytes.data() + 4, &payload, 4);
    return bytes;
}

// Whether a client logged in as the program does still gets its salesmen.
inline bool serves(const ServerProcess& server) {
    Client c(server);
    c.dm().ClientDataSetywy.Open();
    return c.dm().ClientDataSetywy.RecordCount() == 5;
}

}  // namespace velmora::test
