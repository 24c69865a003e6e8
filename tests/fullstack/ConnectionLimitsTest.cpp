// The real server against peers that never log in and users who take more than their share: the
// login deadline inside a block, slots per address and eviction, blocks before a login, slots per
// user and for administrators, database connections before a login, and proxied addresses.

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/fullstack/RawRequests.h"

namespace velmora::test {
namespace {

ServerProcess serverWith(std::vector<std::string> args) {
    ServerProcess::Options options;
    options.extraArgs = std::move(args);
    return ServerProcess(options);
}

// The first bytes of a request block that declares payload bytes, with sent of them.
std::vector<uint8_t> blockStart(uint32_t payload, size_t sent) {
    std::vector<uint8_t> bytes(8 + sent, 0);
    bytes[0] = 0x02;
    bytes[1] = 0xDA;
    std::memcpy(bytes.data() + 4, &payload, 4);
    return bytes;
}

// Writes bytes, taking a connection the server closed meanwhile as a short write.
bool writeAll(RawSocket& socket, const std::vector<uint8_t>& bytes) {
    try {
        socket.writeBytes(bytes.data(), bytes.size());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TEST(ConnectionLimits, TheLoginDeadlineHoldsInTheMiddleOfATricklingBlock) {
    ServerProcess server = serverWith({"--login-timeout", "1", "--stall-timeout", "3"});
    RawSocket socket = RawSocket::connectTo(server.port());
    ASSERT_TRUE(writeAll(socket, blockStart(200, 0)));
    // A byte every 200 ms never stalls; the block would end only after 40 s, and is never finished.
    bool closed = false;
    for (int sent = 0; sent < 50 && !closed; ++sent)
        closed = !writeAll(socket, {0}) || socket.closedByPeer(200);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(logShows(server, "closed, not logged in within 1 s")) << server.log();
}

}  // namespace
}  // namespace velmora::test
