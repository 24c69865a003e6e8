#pragma once
// The header and field descriptors that every packet kind shares.

#include <cstdint>

#include "data/ByteWriter.h"
#include "data/FieldDef.h"
#include "data/PacketFormat.h"
#include "data/PacketReader.h"

namespace velmora {

struct PacketHeader {
    PacketKind kind = PacketKind::Data;
    uint8_t flags = 0;
    uint32_t fieldCount = 0;
    uint32_t count = 0;  // rows, change records or result entries
};

// Writes a header whose length and count are patched by finishPacket.
void beginPacket(ByteWriter& out, PacketKind kind, uint8_t flags, uint32_t fieldCount);
// Patches the total length and the record count into the header at the start of out.
void finishPacket(ByteWriter& out, uint32_t count);

// Reads and checks the header of a packet of size bytes: magic, version, kind, length, reserved.
PacketHeader readPacketHeader(PacketReader& in, size_t size, PacketKind expected);

void writeFieldDefs(ByteWriter& out, const FieldDefs& fields);
// Reads count descriptors (with their nested ones), refusing duplicates, unknown types and
// anything beyond the limits of PacketFormat.h.
FieldDefs readFieldDefs(PacketReader& in, uint32_t count, uint32_t depth = 0);

// The packet name used in error messages.
const char* packetName(PacketKind kind);

}  // namespace velmora
