#pragma once

#include <optional>

#include "transport/DataBlock.h"
#include "transport/Transport.h"

namespace velmora {

class DataBlockInterpreter;

// Sends on the calling thread and, when waiting, reads blocks until the reply comes; requests the
// peer sends meanwhile are interpreted in order. Used where no transport thread runs: the server's
// connections and a client connection without callbacks.
std::optional<DataBlock> sendOnCallingThread(Transport& transport, DataBlockInterpreter* interpreter,
                                             DataBlock block, bool waitForResult);

}  // namespace velmora
