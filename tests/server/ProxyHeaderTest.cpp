// The PROXY protocol v2 header as balancers send it, and headers that are not one.

#include "server/ProxyHeader.h"

#include <gtest/gtest.h>

#include <vector>

#include "transport/Errors.h"

namespace velmora::server {
namespace {

std::vector<uint8_t> header(uint8_t command, uint8_t family, const std::vector<uint8_t>& rest) {
    static constexpr uint8_t kSignature[12] = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D,
                                               0x0A, 0x51, 0x55, 0x49, 0x54, 0x0A};
    std::vector<uint8_t> h(kSignature, kSignature + sizeof kSignature);
    h.push_back(static_cast<uint8_t>(0x20 | command));
    h.push_back(family);
    h.push_back(static_cast<uint8_t>(rest.size() >> 8));
    h.push_back(static_cast<uint8_t>(rest.size()));
    for (uint8_t b : rest) h.push_back(b);
    return h;
}

ProxyHeader parsed(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(
        proxyHeaderSize(std::span<const uint8_t, kProxyHeaderFixedSize>(bytes.data(), kProxyHeaderFixedSize)),
        bytes.size());
    return parseProxyHeader(bytes);
}

TEST(ProxyHeader, NamesTheClientOfATcpConnectionOverIPv4OrIPv6) {
    // Source, destination, source port 40001, destination port 211, then an extension to skip.
    ProxyHeader v4 =
        parsed(header(0x1, 0x11, {203, 0, 113, 7, 10, 0, 0, 1, 0x9C, 0x41, 0, 211, 0x04, 0, 1, 'x'}));
    EXPECT_EQ(v4.peer, "203.0.113.7:40001");
    EXPECT_EQ(v4.address, "203.0.113.7");

    std::vector<uint8_t> six(36, 0);
    six[0] = 0x20, six[1] = 0x01, six[2] = 0x0d, six[3] = 0xb8, six[15] = 0x05;
    six[32] = 0x01, six[33] = 0xBB;
    ProxyHeader v6 = parsed(header(0x1, 0x21, six));
    EXPECT_EQ(v6.peer, "[2001:db8::5]:443");
    EXPECT_EQ(v6.address, "[2001:db8::5]");

    std::vector<uint8_t> mapped(36, 0);
    mapped[10] = mapped[11] = 0xFF;
    mapped[12] = 192, mapped[13] = 0, mapped[14] = 2, mapped[15] = 1;
    mapped[33] = 80;
    EXPECT_EQ(parsed(header(0x1, 0x21, mapped)).peer, "192.0.2.1:80");
}

TEST(ProxyHeader, TheProxysOwnConnectionsAndOtherFamiliesNameNoClient) {
    EXPECT_EQ(parsed(header(0x0, 0x00, {})).peer, "");
    EXPECT_EQ(parsed(header(0x0, 0x11, {1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 0, 2})).peer,
              "");                                                                // LOCAL ignores them
    EXPECT_EQ(parsed(header(0x1, 0x31, std::vector<uint8_t>(216, 0))).peer, "");  // a UNIX socket
    EXPECT_EQ(parsed(header(0x1, 0x12, std::vector<uint8_t>(12, 1))).peer, "");   // UDP
}

TEST(ProxyHeader, BytesThatAreNotAValidHeaderAreRefused) {
    std::vector<uint8_t> good = header(0x1, 0x11, {203, 0, 113, 7, 10, 0, 0, 1, 0, 1, 0, 2});
    auto sizeOf = [](const std::vector<uint8_t>& b) {
        return proxyHeaderSize(
            std::span<const uint8_t, kProxyHeaderFixedSize>(b.data(), kProxyHeaderFixedSize));
    };
    for (size_t i = 0; i < 12; ++i) {
        std::vector<uint8_t> bad = good;
        bad[i] ^= 0x40;
        EXPECT_THROW(sizeOf(bad), VelmoraError) << "signature byte " << i;
    }
    std::vector<uint8_t> version1 = good;
    version1[12] = 0x11;
    EXPECT_THROW(sizeOf(version1), VelmoraError);
    std::vector<uint8_t> command = good;
    command[12] = 0x22;
    EXPECT_THROW(sizeOf(command), VelmoraError);
    // Addresses shorter than their family needs, and a header cut short.
    EXPECT_THROW(parseProxyHeader(header(0x1, 0x11, {1, 2, 3, 4, 5, 6})), VelmoraError);
    EXPECT_THROW(parseProxyHeader(header(0x1, 0x21, std::vector<uint8_t>(20, 0))), VelmoraError);
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_THROW(parseProxyHeader(std::span<const uint8_t>(good.data(), n)), VelmoraError) << n;
    EXPECT_TRUE(looksLikeProxyHeader(good));
    EXPECT_TRUE(looksLikeProxyHeader(std::vector<uint8_t>{'P', 'R', 'O', 'X', 'Y', ' ', 'T'}));
    EXPECT_FALSE(looksLikeProxyHeader(std::vector<uint8_t>{0x02, 0xDA, 0, 0}));
}

}  // namespace
}  // namespace velmora::server
