#include "data/PacketHeader.h"

#include <cstring>

namespace velmora {

const char* packetName(PacketKind kind) {
    switch (kind) {
        case PacketKind::Data:
            return "data packet";
        case PacketKind::Change:
            return "change packet";
        case PacketKind::FailedRecords:
            return "failed-records packet";
    }
    return "packet";
}

void beginPacket(ByteWriter& out, PacketKind kind, uint8_t flags, uint32_t fieldCount) {
    out.raw(kPacketMagic, 4);
    out.u16(kPacketVersion);
    out.u8(static_cast<uint8_t>(kind));
    out.u8(flags);
    out.u32(0);  // length, patched
    out.u32(fieldCount);
    out.u32(0);  // count, patched
    out.u32(0);  // reserved
}

void finishPacket(ByteWriter& out, uint32_t count) {
    if (out.size() > UINT32_MAX) throw PacketError("Packet larger than 4 GiB");
    out.patch32(8, static_cast<uint32_t>(out.size()));
    out.patch32(16, count);
}

PacketHeader readPacketHeader(PacketReader& in, size_t size, PacketKind expected) {
    std::string_view magic = in.bytes(4);
    if (std::memcmp(magic.data(), kPacketMagic, 4) != 0) in.fail("bad magic");
    if (in.u16() != kPacketVersion) in.fail("unsupported version");
    PacketHeader h;
    uint8_t kind = in.u8();
    if (kind != static_cast<uint8_t>(expected)) in.fail("wrong packet kind");
    h.kind = expected;
    h.flags = in.u8();
    if (in.u32() != size) in.fail("length does not match the packet");
    h.fieldCount = in.u32();
    h.count = in.u32();
    if (in.u32() != 0) in.fail("reserved field not zero");
    return h;
}

void writeFieldDefs(ByteWriter& out, const FieldDefs& fields) {
    for (const FieldDef& f : fields) {
        if (f.name.empty() || f.name.size() > kMaxFieldNameBytes)
            throw PacketError(formatText("Invalid field name '%s'", f.name.c_str()));
        out.u8(static_cast<uint8_t>(f.type));
        out.u8(f.flags);
        out.u16(static_cast<uint16_t>(f.name.size()));
        out.u32(f.size);
        out.raw(f.name.data(), f.name.size());
        if (f.type == FieldType::DataSet) {
            out.u32(static_cast<uint32_t>(f.nested.size()));
            writeFieldDefs(out, f.nested);
        }
    }
}

FieldDefs readFieldDefs(PacketReader& in, uint32_t count, uint32_t depth) {
    constexpr size_t kMinDescriptor = 9;  // type, flags, name length, size, one name byte
    if (depth >= kMaxNestingDepth) in.fail("fields nested too deep");
    if (count > kMaxFieldsPerLevel) in.fail("too many fields");
    if (size_t(count) * kMinDescriptor > in.remaining()) in.fail("truncated");
    FieldDefs fields;
    fields.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        FieldDef f;
        uint8_t type = in.u8();
        if (!isKnownFieldType(type)) in.fail("unknown field type");
        f.type = static_cast<FieldType>(type);
        f.flags = in.u8();
        if (f.flags & ~kKnownFieldFlags) in.fail("unknown field flags");
        uint16_t nameBytes = in.u16();
        if (nameBytes == 0 || nameBytes > kMaxFieldNameBytes) in.fail("bad field name length");
        f.size = in.u32();
        f.name = std::string(in.bytes(nameBytes));
        if (findField(fields, f.name) >= 0) in.fail("duplicate field name");
        if (f.type == FieldType::DataSet) {
            uint32_t nestedCount = in.u32();
            if (nestedCount == 0) in.fail("nested rows without fields");
            f.nested = readFieldDefs(in, nestedCount, depth + 1);
        }
        fields.push_back(std::move(f));
    }
    return fields;
}

}  // namespace velmora
