#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "transport/ClassRegistry.h"
#include "transport/DataBlockInterpreter.h"
#include "transport/SendDataBlock.h"
#include "transport/SocketTransport.h"

namespace velmora {

// The server's rules for one connection between blocks: how long it may stay silent, and whether
// it stays open after a block was served. Called on the connection's thread only.
class ConnectionWatch {
  public:
    virtual ~ConnectionWatch() = default;
    // Milliseconds the connection may wait for its next block; negative: no limit.
    virtual int64_t silenceAllowedMs() = 0;
    // Why a connection that stayed silent too long is closed (for the log).
    virtual std::string silenceExceeded() = 0;
    // When the connection must end even in the middle of a block (closed with silenceExceeded());
    // nothing: the stall timeout alone bounds a block.
    virtual std::optional<std::chrono::steady_clock::time_point> readDeadline() { return std::nullopt; }
    // After each block: a reason to close the connection, or nothing to go on.
    virtual std::optional<std::string> closeAfterBlock() = 0;
    // An error reply the peer sent while nothing waited for one; the connection goes on.
    virtual void strayError(const std::string& /*message*/) {}
};

// What a serving connection allows its peer. A server offers data: by default it takes no
// object reference from a client, so it never keeps or calls into one.
struct ServerConnectionRules {
    // Whether the peer may hand this side object references (which this side could call back).
    bool peerObjectsAccepted = false;
    // How long a call back to the peer may wait for its reply; negative: no limit.
    int64_t callTimeoutMs = 30'000;
    // Objects the peer may have this side create and hold at once.
    size_t maxObjects = DataBlockInterpreter::kMaxObjects;
};

// The serving end of one client connection: reads blocks on its own thread and interprets them
// against the objects its class table creates. Calls back to the client wait on the same thread.
class ServerConnection : public SendDataBlock {
  public:
    ServerConnection(std::shared_ptr<SocketTransport> transport, const ClassRegistry& classes,
                     ServerConnectionRules rules = {});
    ~ServerConnection() override;

    // Serves until the peer disconnects or stop() is called; a transport failure is raised, and
    // so is a close the watch asks for (as a SocketConnectionError carrying its reason).
    void run(ConnectionWatch* watch = nullptr);
    // From any thread: makes run() return.
    void stop();

    std::optional<DataBlock> send(DataBlock block, bool waitForResult) override;
    DataBlockInterpreter& interpreter() { return *interpreter_; }
    SocketTransport& transport() { return *transport_; }

  private:
    ServerConnectionRules rules_;
    std::shared_ptr<SocketTransport> transport_;
    std::unique_ptr<DataBlockInterpreter> interpreter_;
};

}  // namespace velmora
