#include "ServerConnection.h"

#include "Errors.h"
#include "SyncChannel.h"

namespace velmora {

ServerConnection::ServerConnection(std::unique_ptr<SocketTransport> transport, const ClassRegistry& classes)
    : transport_(std::move(transport)), interpreter_(std::make_unique<DataBlockInterpreter>(*this, &classes)) {}

ServerConnection::~ServerConnection() {
    // Objects in the table may call back while they go; let them find the interpreter intact.
    interpreter_.reset();
}

void ServerConnection::run(ConnectionWatch* watch) {
    while (transport_->connected()) {
        if (watch && !transport_->waitReadable(watch->silenceAllowedMs()))
            throw SocketConnectionError(watch->silenceExceeded());
        std::optional<DataBlock> block = transport_->receive(true, 0);
        if (block) interpreter_->interpretData(*block);
        if (!watch) continue;
        if (std::optional<std::string> reason = watch->closeAfterBlock()) {
            transport_->setConnected(false);
            throw SocketConnectionError(*reason);
        }
    }
}

void ServerConnection::stop() { transport_->abort(); }

std::optional<DataBlock> ServerConnection::send(DataBlock block, bool waitForResult) {
    return sendOnCallingThread(*transport_, interpreter_.get(), std::move(block), waitForResult);
}

}  // namespace velmora
