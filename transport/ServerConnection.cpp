#include "ServerConnection.h"

#include "SyncChannel.h"

namespace velmora {

ServerConnection::ServerConnection(std::unique_ptr<SocketTransport> transport, const ClassRegistry& classes)
    : transport_(std::move(transport)), interpreter_(std::make_unique<DataBlockInterpreter>(*this, &classes)) {}

ServerConnection::~ServerConnection() {
    // Objects in the table may call back while they go; let them find the interpreter intact.
    interpreter_.reset();
}

void ServerConnection::run() {
    while (transport_->connected()) {
        std::optional<DataBlock> block = transport_->receive(true, 0);
        if (block) interpreter_->interpretData(*block);
    }
}

void ServerConnection::stop() { transport_->abort(); }

std::optional<DataBlock> ServerConnection::send(DataBlock block, bool waitForResult) {
    return sendOnCallingThread(*transport_, interpreter_.get(), std::move(block), waitForResult);
}

}  // namespace velmora
