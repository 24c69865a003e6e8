#include "transport/SocketListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "transport/Errors.h"

namespace velmora {

namespace {

[[noreturn]] void cannotListen(const std::string& address, uint16_t port, int error) {
    std::string text =
        formatText("cannot listen on %s:%u: %s", address.c_str(), port, systemErrorText(error).c_str());
    if (error == EACCES && port != 0 && port < 1024)
        text += "; ports below 1024 need root or CAP_NET_BIND_SERVICE";
    throw SocketError(text);
}

}  // namespace

SocketListener::SocketListener(const std::string& address, uint16_t port, int backlog) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    std::string host = address.empty() ? "0.0.0.0" : address;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) cannotListen(host, port, EADDRNOTAVAIL);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) cannotListen(host, port, errno);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        int error = errno;
        ::close(fd_);
        cannotListen(host, port, error);
    }
    if (::listen(fd_, backlog) < 0) {
        int error = errno;
        ::close(fd_);
        cannotListen(host, port, error);
    }
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    address_ = text;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

SocketListener::~SocketListener() {
    if (fd_ >= 0) ::close(fd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

int SocketListener::accept(std::string* peer) {
    while (!stopped_) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int rc = ::poll(fds, 2, -1);
        if (rc < 0) {
            if (errno == EINTR) continue;
            throw SocketError("waiting for connections failed: " + systemErrorText(errno));
        }
        if (stopped_ || fds[1].revents) break;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        int client = ::accept4(fd_, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
        if (client >= 0) {
            char text[INET_ADDRSTRLEN] = "?";
            inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            if (peer) *peer = formatText("%s:%u", text, ntohs(from.sin_port));
            return client;
        }
        if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
        // Out of descriptors and the like: pass, so that one bad moment does not end the server.
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            ::poll(nullptr, 0, 100);
            continue;
        }
        throw SocketError("accepting a connection failed: " + systemErrorText(errno));
    }
    return -1;
}

void SocketListener::stop() {
    stopped_ = true;
    uint64_t one = 1;
    ssize_t rc = ::write(wakeFd_, &one, sizeof one);
    (void)rc;
}

}  // namespace velmora
