#include "tests/support/RawSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

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

bool RawSocket::closedByPeer(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    uint8_t byte;
    return ::recv(fd_, &byte, 1, MSG_PEEK) <= 0;
}

}  // namespace velmora::test
