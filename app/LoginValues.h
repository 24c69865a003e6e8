#pragma once
// The values that identify this client's login to the application server. They are always
// passed together and in this order: computer name, address, user name, server time. Empty
// until the login succeeds.

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

inline std::string LoginComputerName;
inline std::string LoginAddress;
inline std::string LoginUserName;
inline std::string LoginServerTime;

// The workstation's computer name, or "" when the platform cannot give it in 15 characters.
std::string GetLocalComputerName();
// The first IPv4 address the workstation's host name resolves to ("192.168.0.5"), or "" when
// any step fails.
std::string GetLocalAddress();

// What the login's address box holds: an address, optionally followed by ":port".
struct ServerAddress {
    std::string address;           // as typed, without the port part
    std::optional<uint16_t> port;  // only when a port was given
};
// Splits "a.b.c.d:port" at its last colon; without a colon the text is the address exactly as
// typed. Returns nothing when the part after the colon is not a port number (1 to 65535).
std::optional<ServerAddress> parseServerAddress(const std::string& text);

}  // namespace velmora
