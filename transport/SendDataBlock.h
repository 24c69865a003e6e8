#pragma once

#include <optional>

#include "transport/DataBlock.h"

namespace velmora {

// What the interpreter sends its blocks through: the client's connection or a server connection.
class SendDataBlock {
  public:
    virtual ~SendDataBlock() = default;
    // Sends block. With waitForResult, returns the peer's reply; requests the peer sends
    // meanwhile are interpreted before it returns. Without, returns nothing once the block is out.
    virtual std::optional<DataBlock> send(DataBlock block, bool waitForResult) = 0;
};

}  // namespace velmora
