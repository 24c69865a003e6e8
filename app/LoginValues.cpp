#include "app/LoginValues.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace velmora {

std::string GetLocalComputerName() {
    // The platform call takes a 16-byte buffer: at most 15 characters, else it fails.
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return std::string();
    std::string result(name);
    if (result.size() > 15) return std::string();
    return result;
}

std::string GetLocalAddress() {
    // The host name must fit a 32-byte buffer; then its first IPv4 address, in dotted decimal.
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || std::strlen(host) > 31) return std::string();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return std::string();
    std::string result;
    if (found->ai_family == AF_INET && found->ai_addr) {
        sockaddr_in address{};
        std::memcpy(&address, found->ai_addr, sizeof address);
        char text[INET_ADDRSTRLEN] = {};
        if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text)) result = text;
    }
    freeaddrinfo(found);
    return result;
}

std::optional<ServerAddress> parseServerAddress(const std::string& text) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) return ServerAddress{text, std::nullopt};
    std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    unsigned long port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port == 0 || port > 65535) return std::nullopt;
    return ServerAddress{text.substr(0, colon), static_cast<uint16_t>(port)};
}

}  // namespace velmora
