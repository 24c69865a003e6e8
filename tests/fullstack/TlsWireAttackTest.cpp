// The real server against peers that misbehave in or around the TLS handshake: garbage, a
// truncated or trickled ClientHello, a stalled block inside TLS, and a crowd of half-open
// handshakes beside a user at work. The limits that hold for plain connections hold here too.

#include <gtest/gtest.h>

#include <deque>

#include "tests/fullstack/TlsHelpers.h"

namespace velmora::test {
namespace {

using Encryption = SocketConnection::Encryption;

TEST(TlsWireAttack, GarbageAndTruncatedHandshakesFailCleanlyAndTheServerGoesOn) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--tls", "allow"}));
    {
        RawSocket garbage = RawSocket::connectTo(server.port());
        writeAll(garbage, {0x16, 0x03, 0x01, 0x00, 0x05, 'a', 'b', 'c', 'd', 'e'});
        EXPECT_TRUE(endsSoon(garbage));
    }
    EXPECT_TRUE(logShows(server, "closed, TLS handshake failed: ")) << server.log();
    {
        // A record header that claims more than TLS allows.
        RawSocket oversized = RawSocket::connectTo(server.port());
        writeAll(oversized, {0x16, 0x03, 0x01, 0xFF, 0xFF, 0x01});
        EXPECT_TRUE(endsSoon(oversized));
    }
    {
        std::vector<uint8_t> hello = clientHello();
        RawSocket truncated = RawSocket::connectTo(server.port());
        writeAll(truncated, std::vector<uint8_t>(hello.begin(), hello.begin() + hello.size() / 2));
    }
    EXPECT_TRUE(logShows(server, "closed, TLS handshake not finished: the peer closed the connection"))
        << server.log();
    TlsClient user(server, Encryption::Required);
    user.login();
    user.client.dm().ClientDataSetywy.Open();
    EXPECT_EQ(user.client.dm().ClientDataSetywy.RecordCount(), 5);
}

TEST(TlsWireAttack, AClientHelloTrickledByteByByteIsClosedByTheLoginTimeout) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--login-timeout", "1", "--stall-timeout", "3"}));
    RawSocket socket = RawSocket::connectTo(server.port());
    std::vector<uint8_t> hello = clientHello();
    // A byte every 200 ms never stalls; the hello would take a minute, and is never finished.
    bool closed = false;
    for (size_t sent = 0; sent < hello.size() && !closed; ++sent)
        closed = !writeAll(socket, {hello[sent]}) || socket.closedByPeer(200);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(logShows(server, "closed, not logged in within 1 s")) << server.log();
}

TEST(TlsWireAttack, AStalledHandshakeAndABlockStalledInsideTlsAreClosedByTheStallTimeout) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--stall-timeout", "1", "--login-timeout", "60"}));
    std::vector<uint8_t> hello = clientHello();
    RawSocket half = RawSocket::connectTo(server.port());
    writeAll(half, std::vector<uint8_t>(hello.begin(), hello.begin() + 20));
    EXPECT_TRUE(endsSoon(half));
    EXPECT_TRUE(logShows(server, "closed, TLS handshake stalled: no bytes for 1 s")) << server.log();

    RawTls inside(server.port());
    ASSERT_TRUE(inside.handshake());
    ASSERT_TRUE(inside.write(blockStart(200, 10)));
    EXPECT_TRUE(inside.closedByServer());
    EXPECT_TRUE(logShows(server, "closed, Block stalled: no bytes for 1 s in the middle of a block"))
        << server.log();
}

TEST(TlsWireAttack, ABlockTooLargeForALoginIsRefusedInsideTlsAsInPlain) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs());
    RawTls inside(server.port());
    ASSERT_TRUE(inside.handshake());
    ASSERT_TRUE(inside.write(blockStart(2 << 20, 0)));
    EXPECT_TRUE(inside.closedByServer());
    EXPECT_TRUE(logShows(server, "closed, Invalid data packet: a block larger than 64 KB before a login"))
        << server.log();
}

TEST(TlsWireAttack, BehindATrustedProxyTheHandshakeFollowsTheProxysHeader) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--trusted-proxy", "127.0.0.1"}));
    // A PROXY protocol v2 header of a TCP connection from 10.1.2.3:4000.
    std::vector<uint8_t> header = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D, 0x0A, 0x51, 0x55, 0x49,
                                   0x54, 0x0A, 0x21, 0x11, 0x00, 12,   10,   1,    2,    3,
                                   127,  0,    0,    1,    0x0F, 0xA0, 0,    211};
    RawTls inside(server.port(), header);
    ASSERT_TRUE(inside.handshake());
    EXPECT_TRUE(logShows(server, "10.1.2.3:4000: encrypted, TLSv1.3")) << server.log();
}

TEST(TlsWireAttack, AThousandHalfOpenHandshakesDoNotHurtALoggedInUser) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--max-login-connections-per-address", "1000"}));
    TlsClient user(server, Encryption::Required);
    user.login();
    ClientDataSet& ywy = user.client.dm().ClientDataSetywy;
    std::vector<uint8_t> hello = clientHello();
    std::vector<uint8_t> half(hello.begin(), hello.begin() + hello.size() / 2);
    std::deque<RawSocket> open;
    for (int i = 0; i < 1000; ++i) {
        open.push_back(RawSocket::connectTo(server.port()));
        writeAll(open.back(), half);
        if (open.size() > 200) open.pop_front();
        if (i % 100 == 99) {
            Client::requery(ywy, "select * from ywy");
            EXPECT_EQ(ywy.RecordCount(), 5) << "after " << i + 1 << " half-open handshakes";
        }
    }
    EXPECT_TRUE(logShows(server, "connections that have not logged in, to make room for")) << server.log();
    open.clear();
    Client::requery(ywy, "select * from ywy");
    EXPECT_EQ(ywy.RecordCount(), 5);
}

}  // namespace
}  // namespace velmora::test
