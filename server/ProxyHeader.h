#pragma once
// The PROXY protocol, version 2: the binary header a load balancer sends first on every
// connection it passes on, naming the client the connection came from.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velmora::server {

// The fixed part: signature, version and command, family and protocol, length of the rest.
constexpr size_t kProxyHeaderFixedSize = 16;

struct ProxyHeader {
    // The client as "a.b.c.d:port" or "[v6]:port" with its address alone; both empty when the
    // header names no client (the proxy's own connection, such as a health check, or an address
    // family other than TCP over IPv4 or IPv6): then the proxy's own address stands.
    std::string peer;
    std::string address;
};

// The whole header's size, read from its fixed part; throws VelmoraError naming what is wrong
// when the bytes are not a version 2 header.
size_t proxyHeaderSize(std::span<const uint8_t, kProxyHeaderFixedSize> fixed);
// Reads a whole header (proxyHeaderSize bytes); throws VelmoraError when it is not a valid one.
ProxyHeader parseProxyHeader(std::span<const uint8_t> header);
// True when bytes begin like a PROXY header (of either version), so a refusal can say so.
bool looksLikeProxyHeader(std::span<const uint8_t> bytes);

}  // namespace velmora::server
