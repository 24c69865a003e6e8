// The real server against peers that never log in and users who take more than their share: the
// login deadline inside a block, slots per address and eviction, blocks before a login, slots per
// user and for administrators, database connections before a login, and proxied addresses.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "tests/fullstack/RawRequests.h"

namespace velmora::test {
namespace {

// Writes bytes, taking a connection the server closed meanwhile as a short write.
bool writeAll(RawSocket& socket, const std::vector<uint8_t>& bytes) {
    try {
        socket.writeBytes(bytes.data(), bytes.size());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// True once every byte written on socket has reached the server's side.
bool delivered(const RawSocket& socket) {
    return waitUntil([&] {
        int unsent = 0;
        return ioctl(socket.fd(), TIOCOUTQ, &unsent) == 0 && unsent == 0;
    });
}

// Counts how often text stands in the server's log.
int occurrences(const ServerProcess& server, const std::string& text) {
    std::string log = server.log();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
}

// Waits until the server has logged n connections in all.
bool connections(const ServerProcess& server, int n) {
    return waitUntil([&] { return occurrences(server, ": connected") >= n; });
}

// A client logged in as user.
// The PROXY protocol v2 header of a TCP connection from the IPv4 client source:port.
std::vector<uint8_t> proxyHeader(const char* source, uint16_t port) {
    std::vector<uint8_t> h = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D, 0x0A, 0x51,
                              0x55, 0x49, 0x54, 0x0A, 0x21, 0x11, 0x00, 12};
    uint8_t address[4];
    inet_pton(AF_INET, source, address);
    h.insert(h.end(), address, address + 4);
    h.insert(h.end(), {127, 0, 0, 1});
    h.insert(h.end(), {static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port), 0, 211});
    return h;
}

// A connection through a trusted proxy from source:port.
RawSocket proxied(const ServerProcess& server, const char* source, uint16_t port) {
    RawSocket socket = RawSocket::connectTo(server.port());
    writeAll(socket, proxyHeader(source, port));
    return socket;
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

TEST(ConnectionLimits, OneAddressHoldsAtMostItsShareOfTheConnectionsNotLoggedIn) {
    ServerProcess server = serverWith({"--max-login-connections-per-address", "3", "--login-timeout", "5"});
    std::vector<RawSocket> waiting;
    for (int i = 0; i < 3; ++i) waiting.push_back(RawSocket::connectTo(server.port()));
    RawSocket fourth = RawSocket::connectTo(server.port());
    std::optional<DataBlock> told = fourth.readBlock();
    ASSERT_TRUE(told);
    EXPECT_EQ(readText(*told), "服务器忙 (server busy)");
    EXPECT_TRUE(logShows(
        server, "refused, server busy: 3 connections from 127.0.0.1 have not logged in yet (at most 3)"))
        << server.log();
    for (RawSocket& s : waiting) EXPECT_FALSE(s.readable(50));
    // A connection that logs in leaves room for the next one.
    logInRaw(waiting[0]);
    EXPECT_TRUE(serves(server));
}

TEST(ConnectionLimits, WhenConnectionsNotLoggedInFillTheirSlotsTheOldestMakesRoomForAUser) {
    // Two of the eight slots may wait for a login; two peers that trickle a block hold them.
    ServerProcess server = serverWith({"--max-connections", "8"});
    std::vector<RawSocket> tricklers;
    auto trickle = [&] {
        tricklers.push_back(RawSocket::connectTo(server.port()));
        writeAll(tricklers.back(), blockStart(200, 1));
    };
    trickle();
    trickle();
    ASSERT_TRUE(connections(server, 2));
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(serves(server)) << "login " << i;
        trickle();  // the attacker comes back each time
    }
    EXPECT_TRUE(tricklers[0].closedByPeer());
    EXPECT_TRUE(tricklers[1].closedByPeer());
    EXPECT_TRUE(
        logShows(server, "closed, the oldest of 2 connections that have not logged in, to make room for"))
        << server.log();
}

TEST(ConnectionLimits, BlocksBeforeALoginAreSmallAndPaidForApartFromTheUsersMemory) {
    ServerProcess server = serverWith({"--max-buffer-mb", "1", "--max-login-connections-per-address", "25"});
    // A block larger than any login needs is refused before its bytes come.
    RawSocket big = RawSocket::connectTo(server.port());
    writeAll(big, blockStart(2 << 20, 0));
    EXPECT_TRUE(big.closedByPeer());
    EXPECT_TRUE(logShows(server, "closed, Invalid data packet: a block larger than 64 KB before a login"))
        << server.log();
    // Twenty peers hold most of a block each, 1.2 MB in all: more than the users' budget.
    std::vector<RawSocket> holders;
    for (int i = 0; i < 20; ++i) {
        holders.push_back(RawSocket::connectTo(server.port()));
        writeAll(holders.back(), blockStart(64000, 60000));
    }
    for (RawSocket& h : holders) ASSERT_TRUE(delivered(h));
    RawSocket user = RawSocket::connectTo(server.port());
    logInRaw(user);
    // 800 KB on the wire, as the text travels in UTF-16.
    DataBlock reply = exchange(user, getRecords("select 1 as x /*" + std::string(400 * 1024, 'x') + "*/"));
    EXPECT_EQ(reply.signature(), 0xDB02u) << (reply.signature() == 0xDB01u ? readText(reply) : "");
    for (RawSocket& h : holders) EXPECT_FALSE(h.readable(0));
}

TEST(ConnectionLimits, OneUserHoldsAtMostTheirShareOfTheConnections) {
    ServerProcess server = serverWith({"--max-connections-per-user", "3"});
    std::vector<std::unique_ptr<Client>> clerks;
    for (int i = 0; i < 3; ++i) clerks.push_back(loggedIn(server, "王会计", "1234"));
    Client fourth(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { loginAs(fourth.connection, "王会计", "1234"); }),
              "连接数已达上限：用户 王会计 已有 3 个连接 (王会计 has 3 connections open, the most one user "
              "may have)");
    EXPECT_TRUE(logShows(server, "logged in as 王会计 refused: 连接数已达上限")) << server.log();
    EXPECT_TRUE(logShows(server, "closed, logged in as 王会计 refused by the connection limits"))
        << server.log();
    EXPECT_TRUE(serves(server));  // another user is not held back
    // Once one of the three has gone, the clerk may log in again.
    clerks.pop_back();
    EXPECT_TRUE(
        waitUntil([&] { return refusal([&] { loggedIn(server, "王会计", "1234"); }) == "<served>"; }));
}

TEST(ConnectionLimits, TheLastSlotsAreKeptForAdministrators) {
    // One of the six slots is an administrator's.
    ServerProcess server = serverWith({"--max-connections", "6"});
    std::vector<std::unique_ptr<Client>> staff;
    for (int i = 0; i < 3; ++i) staff.push_back(loggedIn(server, "王会计", "1234"));
    for (int i = 0; i < 2; ++i) staff.push_back(loggedIn(server, "李出纳", "5678"));
    Client sixth(server, Client::LoggedOut);
    EXPECT_EQ(
        refusal([&] { loginAs(sixth.connection, "李出纳", "5678"); }),
        "服务器忙：其余连接留给管理员 (server busy: the last 1 connections are kept for administrators)");
    EXPECT_TRUE(logShows(server, "logged in as 李出纳 refused: 服务器忙")) << server.log();
    EXPECT_TRUE(serves(server));  // 管理员
}

TEST(ConnectionLimits, ConnectionsThatHaveNotLoggedInCostTheDatabaseNoConnection) {
    if (!onPostgres()) GTEST_SKIP() << "counts PostgreSQL's connections";
    ServerProcess server = serverWith({"--max-connections", "200", "--max-login-connections-per-address",
                                       "50", "--login-db-connections", "3"});
    auto backends = [&] {
        return std::stoi(
            server.scalar("select count(*) from pg_stat_activity where datname = current_database()"));
    };
    int before = backends();
    // Thirty peers that read the login's user list and stay without logging in.
    std::vector<RawSocket> peers;
    for (int i = 0; i < 30; ++i) {
        peers.push_back(RawSocket::connectTo(server.port()));
        createServerObject(peers.back());
        DataBlock names = exchange(peers.back(), getRecords("select username from user1"));
        ASSERT_EQ(names.signature(), 0xDB02u);
    }
    EXPECT_LE(backends() - before, 3);
    // A login opens a connection of its own.
    Client c(server);
    c.dm().ClientDataSetkh.Open();
    EXPECT_EQ(c.dm().ClientDataSetkh.RecordCount(), 10);
    EXPECT_GE(backends() - before, 2);
}

TEST(ConnectionLimits, ATrustedProxyNamesTheClientForLogsAndLimits) {
    ServerProcess server =
        serverWith({"--trusted-proxy", "10.9.9.9, 127.0.0.1", "--max-login-connections-per-address", "2"});
    RawSocket client = proxied(server, "203.0.113.7", 40001);
    logInRaw(client);
    EXPECT_TRUE(logShows(server, "203.0.113.7:40001: connected through the proxy 127.0.0.1:"))
        << server.log();
    EXPECT_TRUE(logShows(server, "203.0.113.7:40001: logged in as 管理员")) << server.log();
    // The limit per address counts the clients' addresses, not the proxy's.
    RawSocket first = proxied(server, "203.0.113.8", 40002);
    RawSocket second = proxied(server, "203.0.113.8", 40003);
    createServerObject(first);
    createServerObject(second);
    RawSocket third = proxied(server, "203.0.113.8", 40004);
    std::optional<DataBlock> told = third.readBlock();
    ASSERT_TRUE(told);
    EXPECT_EQ(readText(*told), "服务器忙 (server busy)");
    EXPECT_TRUE(logShows(server, "203.0.113.8:40004: refused, server busy: 2 connections from 203.0.113.8"))
        << server.log();
    RawSocket other = proxied(server, "203.0.113.9", 40005);
    createServerObject(other);
    // From the proxy, a connection without its header is closed.
    RawSocket bare = RawSocket::connectTo(server.port());
    DataBlock create(0xDA04);
    writeText(create, "brandolex.test");
    bare.writeBlock(create);
    EXPECT_TRUE(bare.closedByPeer());
    EXPECT_TRUE(logShows(server, "closed, no valid PROXY protocol header from this trusted proxy"))
        << server.log();
    EXPECT_EQ(server.log().find("@127.0.0.1"), std::string::npos);
}

TEST(ConnectionLimits, AProxysConnectionThatResetsAtOnceIsStillKnownAsTheProxys) {
    // A balancer's health check sends its header and resets the connection, often before the
    // server has looked at it: the address accept saw still names the proxy.
    ServerProcess server = serverWith({"--trusted-proxy", "127.0.0.1"});
    for (uint16_t port = 40010; port < 40015; ++port) {
        RawSocket check = proxied(server, "203.0.113.7", port);
        linger reset{1, 0};
        setsockopt(check.fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        check.close();
    }
    EXPECT_TRUE(logShows(server, "203.0.113.7:40014: connected through the proxy 127.0.0.1:"))
        << server.log();
    EXPECT_EQ(server.log().find("?:"), std::string::npos) << server.log();
    EXPECT_EQ(server.log().find("not trusted"), std::string::npos) << server.log();
}

TEST(ConnectionLimits, APeerNotTrustedAsAProxyCannotClaimAnotherAddress) {
    ServerProcess server;
    RawSocket claimer = proxied(server, "203.0.113.7", 40001);
    EXPECT_TRUE(claimer.closedByPeer());
    EXPECT_TRUE(
        logShows(server, "closed, Invalid data packet: a PROXY protocol header from a peer not trusted"))
        << server.log();
    EXPECT_EQ(server.log().find("203.0.113.7"), std::string::npos);
}

}  // namespace
}  // namespace velmora::test
