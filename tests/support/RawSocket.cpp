#include "tests/support/RawSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace velmora::test {

RawSocket RawSocket::connectTo(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        throw std::runtime_error("connect failed");
    }
    return RawSocket(fd);
}

RawSocket::~RawSocket() {
    close();
}

void RawSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void RawSocket::writeBytes(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ssize_t w = ::send(fd_, p, n, MSG_NOSIGNAL);
        if (w <= 0) throw std::runtime_error("raw write failed");
        p += w;
        n -= static_cast<size_t>(w);
    }
}

void RawSocket::writeBlock(DataBlock& block) {
    const Bytes& bytes = block.bytesForSending();
    writeBytes(bytes.data(), bytes.size());
}

bool RawSocket::readExactly(uint8_t* out, size_t n) {
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::recv(fd_, out + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

std::optional<DataBlock> RawSocket::readBlock() {
    uint8_t header[8];
    if (!readExactly(header, 8)) return std::nullopt;
    uint32_t size;
    std::memcpy(&size, header + 4, 4);
    Bytes bytes(8 + size_t(size));
    std::memcpy(bytes.data(), header, 8);
    if (!readExactly(bytes.data() + 8, size)) return std::nullopt;
    return DataBlock::fromReceived(std::move(bytes));
}

bool RawSocket::readable(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

namespace {

uint16_t portOf(const sockaddr_in& address) {
    return ntohs(address.sin_port);
}

}  // namespace

bool RawSocket::readByPeer() const {
    int unsent = 0;
    if (::ioctl(fd_, TIOCOUTQ, &unsent) != 0 || unsent != 0) return false;
    sockaddr_in mine{}, peer{};
    socklen_t length = sizeof mine;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&mine), &length) != 0) return false;
    length = sizeof peer;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return false;
    // The peer's socket: its local port is our peer's, its remote port ours. A line reads
    // "sl local rem st tx_queue:rx_queue ...", addresses as hex ADDRESS:PORT.
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the column titles
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        auto port = [](const std::string& address) {
            return static_cast<uint16_t>(std::stoul(address.substr(address.find(':') + 1), nullptr, 16));
        };
        if (local.empty() || remote.empty() || port(local) != portOf(peer) || port(remote) != portOf(mine))
            continue;
        return std::stoul(queues.substr(queues.find(':') + 1), nullptr, 16) == 0;
    }
    return false;
}

bool RawSocket::closedByPeer(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    uint8_t byte;
    return ::recv(fd_, &byte, 1, MSG_PEEK) <= 0;
}

}  // namespace velmora::test
