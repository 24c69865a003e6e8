#include "transport/ServerConnection.h"

#include <chrono>

#include "transport/Errors.h"

namespace velmora {

ServerConnection::ServerConnection(std::shared_ptr<SocketTransport> transport, const ClassRegistry& classes,
                                   ServerConnectionRules rules)
    : rules_(rules),
      transport_(std::move(transport)),
      interpreter_(std::make_unique<DataBlockInterpreter>(*this, &classes)) {
    interpreter_->setPeerObjectsAccepted(rules_.peerObjectsAccepted);
    interpreter_->setMaxObjects(rules_.maxObjects);
}

ServerConnection::~ServerConnection() {
    // Objects in the table may call back while they go; let them find the interpreter intact.
    interpreter_.reset();
}

void ServerConnection::run(ConnectionWatch* watch) {
    while (transport_->connected()) {
        if (watch && !transport_->waitReadable(watch->silenceAllowedMs()))
            throw SocketConnectionError(watch->silenceExceeded());
        if (watch) {
            std::optional<std::chrono::steady_clock::time_point> deadline = watch->readDeadline();
            transport_->setReadDeadline(deadline, deadline ? watch->silenceExceeded() : std::string());
        }
        std::optional<DataBlock> block = transport_->receive(true, 0);
        if (block) {
            try {
                interpreter_->interpretData(*block);
            } catch (const RemoteError& e) {
                // A peer's error that no call waited for ends nothing: it is noted and dropped.
                if (watch) watch->strayError(e.what());
            }
        }
        if (!watch) continue;
        if (std::optional<std::string> reason = watch->closeAfterBlock()) {
            transport_->setConnected(false);
            throw SocketConnectionError(*reason);
        }
    }
}

void ServerConnection::stop() {
    transport_->abort();
}

std::optional<DataBlock> ServerConnection::send(DataBlock block, bool waitForResult) {
    transport_->send(block);
    if (!waitForResult) return std::nullopt;
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max<int64_t>(0, rules_.callTimeoutMs));
    for (;;) {
        if (rules_.callTimeoutMs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            // A peer that never answers a call back must not hold this connection's thread.
            if (!transport_->waitReadable(std::max<int64_t>(0, left)))
                throw InterpreterError(formatText("No reply from the peer within %g s",
                                                  static_cast<double>(rules_.callTimeoutMs) / 1000));
        }
        std::optional<DataBlock> incoming = transport_->receive(true, 0);
        if (!incoming) continue;
        if (incoming->isReply()) return incoming;
        interpreter_->interpretData(*incoming);
    }
}

}  // namespace velmora
