#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "transport/DataBlock.h"

namespace velmora {

// One open connection's byte pipe, as the transport thread and the synchronous channel use it.
class Transport {
  public:
    virtual ~Transport() = default;
    virtual bool connected() const = 0;
    // Opens or closes the socket.
    virtual void setConnected(bool value) = 0;
    // A descriptor that polls readable when a block (or the peer's close) is waiting.
    virtual int waitHandle() const = 0;
    // Sends the whole block; the context returned is always 0.
    virtual int send(DataBlock& block) = 0;
    // Without waitForInput, returns nothing at once when no bytes are waiting.
    virtual std::optional<DataBlock> receive(bool waitForInput, int context) = 0;
    // Makes a receive blocked in another thread return; the transport is unusable afterwards.
    virtual void abort() = 0;
    // Bytes already taken off the socket (decrypted, not yet read): the wait handle does not poll
    // readable for them, so a reader must look here before it waits.
    virtual bool hasBufferedInput() const { return false; }
};

// Optional block interceptor: sees every received block before the interpreter and every block
// to be sent before the socket.
class DataIntercept {
  public:
    virtual ~DataIntercept() = default;
    virtual void dataIn(DataBlock& block) = 0;
    virtual void dataOut(DataBlock& block) = 0;
};

using DataInterceptFactory = std::function<std::unique_ptr<DataIntercept>()>;
// Makes an interceptor class known under its class id; transports create it by that id.
void registerDataIntercept(const std::string& classId, DataInterceptFactory factory);
std::unique_ptr<DataIntercept> createDataIntercept(const std::string& classId);

}  // namespace velmora
