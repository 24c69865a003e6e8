#include "data/DataPacket.h"

#include "data/PacketHeader.h"

namespace velmora {

DataPacketWriter::DataPacketWriter(FieldDefs fields, bool complete)
    : DataPacketWriter(std::make_shared<const RowLayout>(std::move(fields)), complete) {}

// The buffer is a member that the base class writes into; it is constructed before use because
// the base only keeps a reference until the first write.
DataPacketWriter::DataPacketWriter(std::shared_ptr<const RowLayout> layout, bool complete)
    : RowWriter(bytes_, *layout), layout_(std::move(layout)) {
    beginPacket(bytes(), PacketKind::Data, complete ? kDataComplete : 0,
                static_cast<uint32_t>(layout_->fieldCount()));
    writeFieldDefs(bytes(), layout_->fields());
}

Bytes DataPacketWriter::finish() {
    finishPacket(bytes(), rowCount());
    return std::move(bytes_);
}

Bytes DataPacketWriter::finish(bool complete) {
    constexpr size_t kFlagsOffset = 7;  // after the magic, the version and the kind
    uint8_t& flags = bytes_.data()[kFlagsOffset];
    flags = static_cast<uint8_t>(complete ? (flags | kDataComplete) : (flags & ~kDataComplete));
    return finish();
}

DataPacket decodeDataPacket(Bytes bytes) {
    PacketReader in(bytes.data(), bytes.size(), "data packet");
    PacketHeader h = readPacketHeader(in, bytes.size(), PacketKind::Data);
    if (h.flags & ~kDataComplete) in.fail("unknown flags");
    DataPacket packet;
    packet.complete = (h.flags & kDataComplete) != 0;
    packet.layout = std::make_shared<const RowLayout>(readFieldDefs(in, h.fieldCount));
    if (h.count > in.remaining()) in.fail("more rows than bytes");
    packet.rows.reserve(h.count);
    for (uint32_t i = 0; i < h.count; ++i) {
        packet.rows.push_back(in.position());
        packet.layout->validateRow(in, 0);
    }
    if (!in.atEnd()) in.fail("bytes after the last row");
    packet.bytes = std::move(bytes);
    return packet;
}

}  // namespace velmora
