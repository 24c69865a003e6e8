#pragma once
// The data packet: the rows a provider returns, with the descriptors of their fields.

#include <cstdint>
#include <vector>

#include "data/RowLayout.h"
#include "data/RowWriter.h"
#include "transport/Bytes.h"

namespace velmora {

// Builds a data packet. Use the RowWriter calls for the rows, then finish() once:
//   DataPacketWriter w(fields);
//   w.beginRow(); w.addText("01"); w.addNull(); w.endRow();
//   Bytes packet = w.finish();
class DataPacketWriter : public RowWriter {
  public:
    // complete: the rows are every row of the provider's result.
    explicit DataPacketWriter(FieldDefs fields, bool complete = true);
    DataPacketWriter(const DataPacketWriter&) = delete;
    DataPacketWriter& operator=(const DataPacketWriter&) = delete;

    Bytes finish();
    // Finishes a packet whose completeness is known only once its rows are written.
    Bytes finish(bool complete);

  private:
    explicit DataPacketWriter(std::shared_ptr<const RowLayout> layout, bool complete);

    std::shared_ptr<const RowLayout> layout_;
    Bytes bytes_;
};

// A decoded data packet. The rows point into bytes, which the packet owns.
struct DataPacket {
    RowLayoutPtr layout;
    bool complete = true;
    Bytes bytes;
    std::vector<const uint8_t*> rows;
};

// Validates the whole packet and indexes its rows; refuses damage with a PacketError.
DataPacket decodeDataPacket(Bytes bytes);

}  // namespace velmora
