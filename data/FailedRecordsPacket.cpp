#include "data/FailedRecordsPacket.h"

#include "data/PacketHeader.h"

namespace velmora {

namespace {

constexpr uint8_t kNullValue = 0;

void writePath(ByteWriter& w, const RecordPath& path) {
    if (path.nested.size() >= kMaxNestingDepth) throw PacketError("Record path nested too deep");
    w.u32(path.id);
    w.u8(static_cast<uint8_t>(path.nested.size()));
    for (const RecordPath::Step& s : path.nested) {
        w.u16(s.field);
        w.u32(s.id);
    }
}

RecordPath readPath(PacketReader& in) {
    RecordPath path;
    path.id = in.u32();
    uint8_t depth = in.u8();
    if (depth >= kMaxNestingDepth) in.fail("record path nested too deep");
    for (uint8_t i = 0; i < depth; ++i) {
        RecordPath::Step s;
        s.field = in.u16();
        s.id = in.u32();
        path.nested.push_back(s);
    }
    return path;
}

void writeValue(ByteWriter& w, const Variant& v) {
    if (v.isNull() || v.isEmpty()) return w.u8(kNullValue);
    switch (v.type()) {
        case VarType::String:
            w.u8(static_cast<uint8_t>(FieldType::String));
            return w.text(v.stringValue());
        case VarType::SmallInt:
        case VarType::Integer:
        case VarType::Byte:
            w.u8(static_cast<uint8_t>(FieldType::Integer));
            return w.i32(v.toInt());
        case VarType::Boolean:
            w.u8(static_cast<uint8_t>(FieldType::Boolean));
            return w.u8(v.boolValue() ? 1 : 0);
        case VarType::Date:
            if (!isValidDate(v.doubleValue()))
                throw PacketError("Invalid failed-records packet: date outside the years 1 to 9999");
            w.u8(static_cast<uint8_t>(FieldType::DateTime));
            return w.f64(v.doubleValue());
        default:
            w.u8(static_cast<uint8_t>(FieldType::Double));
            return w.f64(v.toDouble());
    }
}

Variant readValue(PacketReader& in) {
    uint8_t type = in.u8();
    switch (type) {
        case kNullValue:
            return Variant::null();
        case static_cast<uint8_t>(FieldType::String):
            return Variant(std::string(in.text(UINT32_MAX)));
        case static_cast<uint8_t>(FieldType::Integer):
            return Variant(in.i32());
        case static_cast<uint8_t>(FieldType::Double):
            return Variant(in.f64());
        case static_cast<uint8_t>(FieldType::Boolean): {
            uint8_t b = in.u8();
            if (b > 1) in.fail("Boolean value other than 0 or 1");
            return Variant(b == 1);
        }
        case static_cast<uint8_t>(FieldType::DateTime): {
            double days = in.f64();
            if (!isValidDate(days)) in.fail("date outside the years 1 to 9999");
            return Variant::date(days);
        }
        default:
            in.fail("unknown value type");
    }
}

}  // namespace

Bytes encodeFailedRecords(const FailedRecordsPacket& packet) {
    Bytes out;
    ByteWriter w(out);
    beginPacket(w, PacketKind::FailedRecords, packet.rolledBack ? kApplyRolledBack : 0, 0);
    for (const FailedRecord& f : packet.failed) {
        w.u8(static_cast<uint8_t>(ResultEntryKind::Failed));
        writePath(w, f.path);
        w.i32(f.code);
        w.text(f.message.size() > kMaxMessageBytes ? f.message.substr(0, kMaxMessageBytes) : f.message);
    }
    for (const ServerValues& u : packet.updated) {
        w.u8(static_cast<uint8_t>(ResultEntryKind::Values));
        writePath(w, u.path);
        if (u.values.size() > kMaxFieldsPerLevel) throw PacketError("Too many server values");
        w.u16(static_cast<uint16_t>(u.values.size()));
        for (const auto& [field, value] : u.values) {
            w.u16(field);
            writeValue(w, value);
        }
    }
    finishPacket(w, static_cast<uint32_t>(packet.failed.size() + packet.updated.size()));
    return out;
}

FailedRecordsPacket decodeFailedRecords(const Bytes& bytes) {
    PacketReader in(bytes.data(), bytes.size(), "failed-records packet");
    PacketHeader h = readPacketHeader(in, bytes.size(), PacketKind::FailedRecords);
    if (h.flags & ~kApplyRolledBack) in.fail("unknown flags");
    if (h.fieldCount != 0) in.fail("field count not zero");
    constexpr size_t kMinEntry = 6;  // kind, id, depth
    if (size_t(h.count) * kMinEntry > in.remaining()) in.fail("more entries than bytes");
    FailedRecordsPacket packet;
    packet.rolledBack = (h.flags & kApplyRolledBack) != 0;
    for (uint32_t i = 0; i < h.count; ++i) {
        uint8_t kind = in.u8();
        if (kind == static_cast<uint8_t>(ResultEntryKind::Failed)) {
            FailedRecord f;
            f.path = readPath(in);
            f.code = in.i32();
            f.message = std::string(in.text(kMaxMessageBytes));
            packet.failed.push_back(std::move(f));
        } else if (kind == static_cast<uint8_t>(ResultEntryKind::Values)) {
            ServerValues u;
            u.path = readPath(in);
            uint16_t n = in.u16();
            if (n > kMaxFieldsPerLevel) in.fail("too many server values");
            if (size_t(n) * 3 > in.remaining()) in.fail("more values than bytes");
            for (uint16_t k = 0; k < n; ++k) {
                uint16_t field = in.u16();
                u.values.emplace_back(field, readValue(in));
            }
            packet.updated.push_back(std::move(u));
        } else {
            in.fail("unknown entry kind");
        }
    }
    if (!in.atEnd()) in.fail("bytes after the last entry");
    return packet;
}

}  // namespace velmora
