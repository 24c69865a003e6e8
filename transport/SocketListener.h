#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace velmora {

// A listening TCP socket. accept() waits for a connection or for stop() from another thread.
class SocketListener {
  public:
    // address empty or "0.0.0.0": every IPv4 address of the host. Port 0 picks a free port.
    // Fails with a SocketError "cannot listen on ADDRESS:PORT: why (errno)" when the port cannot
    // be had.
    SocketListener(const std::string& address, uint16_t port, int backlog = 128);
    ~SocketListener();
    SocketListener(const SocketListener&) = delete;
    SocketListener& operator=(const SocketListener&) = delete;

    uint16_t port() const { return port_; }
    std::string address() const { return address_; }
    // Returns the accepted socket, or -1 once stop() was called; peer, when given, gets the
    // client's "a.b.c.d:port" as accept saw it (a peer that reset the connection at once has none
    // afterwards, as a balancer's health check does).
    int accept(std::string* peer = nullptr);
    void stop();

  private:
    int fd_ = -1;
    int wakeFd_ = -1;
    uint16_t port_ = 0;
    std::string address_;
    std::atomic<bool> stopped_{false};
};

}  // namespace velmora
