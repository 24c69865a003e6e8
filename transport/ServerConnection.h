#pragma once

#include <memory>

#include "ClassRegistry.h"
#include "DataBlockInterpreter.h"
#include "SendDataBlock.h"
#include "SocketTransport.h"

namespace velmora {

// The serving end of one client connection: reads blocks on its own thread and interprets them
// against the objects its class table creates. Calls back to the client wait on the same thread.
class ServerConnection : public SendDataBlock {
public:
    ServerConnection(std::unique_ptr<SocketTransport> transport, const ClassRegistry& classes);
    ~ServerConnection() override;

    // Serves until the peer disconnects or stop() is called; a transport failure is raised.
    void run();
    // From any thread: makes run() return.
    void stop();

    std::optional<DataBlock> send(DataBlock block, bool waitForResult) override;
    DataBlockInterpreter& interpreter() { return *interpreter_; }
    SocketTransport& transport() { return *transport_; }

private:
    std::unique_ptr<SocketTransport> transport_;
    std::unique_ptr<DataBlockInterpreter> interpreter_;
};

}  // namespace velmora
