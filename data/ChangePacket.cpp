#include "data/ChangePacket.h"

#include "data/Cell.h"
#include "data/PacketHeader.h"
#include "data/RowWriter.h"

namespace velmora {

namespace {

bool hasOriginal(ChangeKind k) {
    return k != ChangeKind::Insert;
}
bool hasValues(ChangeKind k) {
    return k == ChangeKind::Insert || k == ChangeKind::Modify;
}

void writeRow(Bytes& out, const RowLayout& layout, const std::vector<Variant>& values) {
    if (values.size() != layout.fieldCount()) throw PacketError("A change record does not hold every field");
    Bytes row = encodeRow(layout, values);
    out.append(row.data(), row.size());
}

void writeRecords(Bytes& out, const RowLayout& layout, const std::vector<ChangeRecord>& records) {
    ByteWriter w(out);
    for (const ChangeRecord& r : records) {
        w.u8(static_cast<uint8_t>(r.kind));
        w.u32(r.id);
        if (hasOriginal(r.kind)) writeRow(out, layout, r.original);
        if (hasValues(r.kind)) writeRow(out, layout, r.values);
        for (size_t f = 0; f < layout.fieldCount(); ++f) {
            if (layout.type(f) != FieldType::DataSet) continue;
            const NestedChanges* group = nullptr;
            for (const NestedChanges& n : r.nested)
                if (n.field == f) group = &n;
            w.u32(group ? static_cast<uint32_t>(group->records.size()) : 0);
            if (group) writeRecords(out, *layout.nested(f), group->records);
        }
    }
}

// The next row, validated; its values are read from where it starts.
const uint8_t* skipRow(PacketReader& in, const RowLayout& layout) {
    const uint8_t* row = in.position();
    layout.validateRow(in, 0);
    for (size_t f = 0; f < layout.fieldCount(); ++f)
        if (layout.type(f) == FieldType::DataSet && !RowLayout::isNull(row, f))
            in.fail("nested rows inside a change record");
    return row;
}

std::vector<Variant> readRow(PacketReader& in, const RowLayout& layout) {
    return rowValues(layout, skipRow(in, layout));
}

std::vector<ChangeRecord> readRecords(PacketReader& in, const RowLayout& layout, uint32_t count,
                                      InsertValues inserts) {
    constexpr size_t kMinRecord = 5;  // kind and id
    if (size_t(count) * kMinRecord > in.remaining()) in.fail("more records than bytes");
    std::vector<ChangeRecord> records;
    records.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        ChangeRecord r;
        uint8_t kind = in.u8();
        if (kind > static_cast<uint8_t>(ChangeKind::Delete)) in.fail("unknown change kind");
        r.kind = static_cast<ChangeKind>(kind);
        r.id = in.u32();
        if (hasOriginal(r.kind)) r.original = readRow(in, layout);
        if (r.kind == ChangeKind::Insert && inserts == InsertValues::Encoded)
            r.encodedValues = skipRow(in, layout);
        else if (hasValues(r.kind))
            r.values = readRow(in, layout);
        for (size_t f = 0; f < layout.fieldCount(); ++f) {
            if (layout.type(f) != FieldType::DataSet) continue;
            uint32_t n = in.u32();
            if (n == 0) continue;
            r.nested.push_back({static_cast<uint32_t>(f), readRecords(in, *layout.nested(f), n, inserts)});
        }
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace

Bytes encodeChangePacket(const ChangePacket& packet) {
    Bytes out;
    ByteWriter w(out);
    beginPacket(w, PacketKind::Change, 0, static_cast<uint32_t>(packet.fields.size()));
    writeFieldDefs(w, packet.fields);
    RowLayout layout(packet.fields);
    writeRecords(out, layout, packet.records);
    finishPacket(w, static_cast<uint32_t>(packet.records.size()));
    return out;
}

ChangePacket decodeChangePacket(const Bytes& bytes, InsertValues inserts) {
    PacketReader in(bytes.data(), bytes.size(), "change packet");
    PacketHeader h = readPacketHeader(in, bytes.size(), PacketKind::Change);
    if (h.flags != 0) in.fail("unknown flags");
    ChangePacket packet;
    packet.fields = readFieldDefs(in, h.fieldCount);
    RowLayout layout(packet.fields);
    packet.records = readRecords(in, layout, h.count, inserts);
    if (!in.atEnd()) in.fail("bytes after the last record");
    return packet;
}

}  // namespace velmora
