#include "server/ProxyHeader.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

constexpr uint8_t kSignature[12] = {0x0D, 0x0A, 0x0D, 0x0A, 0x00, 0x0D, 0x0A, 0x51, 0x55, 0x49, 0x54, 0x0A};
constexpr uint8_t kCommandLocal = 0x0;
constexpr uint8_t kCommandProxy = 0x1;
constexpr uint8_t kFamilyInet = 0x1;
constexpr uint8_t kFamilyInet6 = 0x2;
constexpr uint8_t kProtocolStream = 0x1;
constexpr size_t kInetAddresses = 12;  // source, destination, source port, destination port
constexpr size_t kInet6Addresses = 36;

uint16_t bigEndian16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

ProxyHeader inet(const uint8_t* a) {
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, a, text, sizeof text);
    return {formatText("%s:%u", text, bigEndian16(a + 8)), text};
}

ProxyHeader inet6(const uint8_t* a) {
    in6_addr address{};
    std::memcpy(&address, a, sizeof address);
    uint16_t port = bigEndian16(a + 32);
    // An IPv4 client seen through an IPv6 socket of the balancer is still that IPv4 client.
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        uint8_t v4[kInetAddresses] = {};
        std::memcpy(v4, a + 12, 4);
        v4[8] = static_cast<uint8_t>(port >> 8);
        v4[9] = static_cast<uint8_t>(port);
        return inet(v4);
    }
    char text[INET6_ADDRSTRLEN] = "";
    inet_ntop(AF_INET6, &address, text, sizeof text);
    std::string bracketed = formatText("[%s]", text);
    return {formatText("%s:%u", bracketed.c_str(), port), bracketed};
}

}  // namespace

bool looksLikeProxyHeader(std::span<const uint8_t> bytes) {
    static constexpr char kVersion1[] = "PROXY ";
    size_t n = std::min<size_t>(bytes.size(), sizeof kSignature);
    return (n > 0 && std::equal(bytes.begin(), bytes.begin() + static_cast<long>(n), kSignature)) ||
           (bytes.size() >= 6 && std::memcmp(bytes.data(), kVersion1, 6) == 0);
}

size_t proxyHeaderSize(std::span<const uint8_t, kProxyHeaderFixedSize> fixed) {
    if (!std::equal(std::begin(kSignature), std::end(kSignature), fixed.begin()))
        throw VelmoraError("not a PROXY protocol v2 header (wrong signature)");
    if ((fixed[12] >> 4) != 0x2)
        throw VelmoraError(formatText("PROXY protocol version %d, not 2", fixed[12] >> 4));
    uint8_t command = fixed[12] & 0x0F;
    if (command != kCommandLocal && command != kCommandProxy)
        throw VelmoraError(formatText("unknown PROXY command %d", command));
    return kProxyHeaderFixedSize + bigEndian16(fixed.data() + 14);
}

ProxyHeader parseProxyHeader(std::span<const uint8_t> header) {
    if (header.size() < kProxyHeaderFixedSize) throw VelmoraError("PROXY header cut short");
    size_t size = proxyHeaderSize(header.first<kProxyHeaderFixedSize>());
    if (header.size() != size) throw VelmoraError("PROXY header cut short");
    if ((header[12] & 0x0F) == kCommandLocal) return {};
    uint8_t family = header[13] >> 4;
    uint8_t protocol = header[13] & 0x0F;
    const uint8_t* addresses = header.data() + kProxyHeaderFixedSize;
    size_t length = size - kProxyHeaderFixedSize;
    // What follows the addresses (type-length-value extensions) says nothing this server needs.
    if (family == kFamilyInet && protocol == kProtocolStream) {
        if (length < kInetAddresses) throw VelmoraError("PROXY header too short for IPv4 addresses");
        return inet(addresses);
    }
    if (family == kFamilyInet6 && protocol == kProtocolStream) {
        if (length < kInet6Addresses) throw VelmoraError("PROXY header too short for IPv6 addresses");
        return inet6(addresses);
    }
    return {};
}

}  // namespace velmora::server
