#pragma once
// Peers for the transport tests: a loopback server that serves real ServerConnections on their
// own threads, and a raw socket for speaking (and mis-speaking) the block protocol by hand.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/RawSocket.h"
#include "transport/ClassRegistry.h"
#include "transport/DataBlock.h"
#include "transport/ServerConnection.h"
#include "transport/SocketListener.h"

namespace velmora::test {

class LoopbackServer {
  public:
    // By default its connections take the clients' objects, so that the tests can be called back.
    explicit LoopbackServer(const ClassRegistry& classes, ServerConnectionRules rules = {true, 30'000});
    ~LoopbackServer();
    uint16_t port() const { return listener_.port(); }
    // Failures that ended a connection, in order.
    std::vector<std::string> failures() const;
    int connectionsServed() const { return served_; }

  private:
    void acceptLoop();

    const ClassRegistry& classes_;
    ServerConnectionRules rules_;
    SocketListener listener_;
    std::thread acceptor_;
    mutable std::mutex lock_;
    std::vector<std::unique_ptr<ServerConnection>> connections_;
    std::vector<std::thread> threads_;
    std::vector<std::string> failures_;
    std::atomic<int> served_{0};
};

// A listener that hands out RawSockets, for tests that play the server by hand.
class RawServer {
  public:
    RawServer() : listener_("127.0.0.1", 0) {}
    uint16_t port() const { return listener_.port(); }
    RawSocket accept() { return RawSocket(listener_.accept()); }

  private:
    SocketListener listener_;
};

}  // namespace velmora::test
