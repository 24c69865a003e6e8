#include "transport/SyncChannel.h"

#include "transport/DataBlockInterpreter.h"

namespace velmora {

std::optional<DataBlock> sendOnCallingThread(Transport& transport, DataBlockInterpreter* interpreter,
                                             DataBlock block, bool waitForResult) {
    transport.send(block);
    if (!waitForResult) return std::nullopt;
    for (;;) {
        std::optional<DataBlock> incoming = transport.receive(true, 0);
        if (!incoming) continue;
        if (incoming->isReply() || !interpreter) return incoming;
        interpreter->interpretData(*incoming);
    }
}

}  // namespace velmora
