// Fuzz target: the data, change and failed-records packets. The first byte picks the packet;
// whatever decodes is encoded again and decoded once more, and must come back the same.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "data/Cell.h"
#include "data/ChangePacket.h"
#include "data/DataPacket.h"
#include "data/FailedRecordsPacket.h"

namespace velmora::fuzz {
namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "packet round trip: %s\n", what);
    std::abort();
}

void sameFields(const FieldDefs& a, const FieldDefs& b) {
    if (a.size() != b.size()) finding("field count differs");
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].size != b[i].size ||
            a[i].flags != b[i].flags)
            finding("field differs");
        sameFields(a[i].nested, b[i].nested);
    }
}

// Writes the rows of one level again, reading every value the way the dataset does.
void rewriteRows(RowWriter& w, const RowLayout& layout, const uint8_t* row, uint32_t count) {
    std::vector<uint32_t> offsets(layout.fieldCount() + 1);
    for (uint32_t r = 0; r < count; ++r) {
        uint32_t size = layout.offsets(row, offsets.data());
        w.beginRow();
        for (size_t f = 0; f < layout.fieldCount(); ++f) {
            cellText(layout, row, offsets.data(), f);
            if (layout.type(f) != FieldType::DataSet || RowLayout::isNull(row, f)) {
                w.addValue(cellValue(layout, row, offsets.data(), f));
                continue;
            }
            RowLayout::NestedRows nested = RowLayout::nestedRows(row + offsets[f]);
            w.beginNested();
            rewriteRows(w, *layout.nested(f), nested.first, nested.count);
            w.endNested();
        }
        w.endRow();
        row += size;
    }
}

void sameRows(const RowLayout& layout, const uint8_t* a, const uint8_t* b, uint32_t count) {
    std::vector<uint32_t> oa(layout.fieldCount() + 1), ob(layout.fieldCount() + 1);
    for (uint32_t r = 0; r < count; ++r) {
        uint32_t sa = layout.offsets(a, oa.data());
        uint32_t sb = layout.offsets(b, ob.data());
        for (size_t f = 0; f < layout.fieldCount(); ++f) {
            if (layout.type(f) == FieldType::DataSet && !RowLayout::isNull(a, f)) {
                if (RowLayout::isNull(b, f)) finding("nested rows became null");
                auto na = RowLayout::nestedRows(a + oa[f]);
                auto nb = RowLayout::nestedRows(b + ob[f]);
                if (na.count != nb.count) finding("nested row count differs");
                sameRows(*layout.nested(f), na.first, nb.first, na.count);
            } else if (cellValue(layout, a, oa.data(), f) != cellValue(layout, b, ob.data(), f)) {
                finding("value differs");
            }
        }
        a += sa;
        b += sb;
    }
}

void dataPacket(Bytes bytes) {
    DataPacket first;
    try {
        first = decodeDataPacket(std::move(bytes));
    } catch (const PacketError&) {
        return;
    }
    Bytes again;
    try {
        DataPacketWriter w(first.layout->fields(), first.complete);
        rewriteRows(w, *first.layout, first.rows.empty() ? nullptr : first.rows[0],
                    static_cast<uint32_t>(first.rows.size()));
        again = w.finish();
    } catch (const VelmoraError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("a decoded data packet cannot be written");
    }
    DataPacket second = decodeDataPacket(std::move(again));
    sameFields(first.layout->fields(), second.layout->fields());
    if (first.rows.size() != second.rows.size() || first.complete != second.complete) finding("rows differ");
    if (!first.rows.empty())
        sameRows(*first.layout, first.rows[0], second.rows[0], static_cast<uint32_t>(first.rows.size()));
}

void sameRecords(const std::vector<ChangeRecord>& a, const std::vector<ChangeRecord>& b) {
    if (a.size() != b.size()) finding("record count differs");
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].id != b[i].id || a[i].original != b[i].original ||
            a[i].values != b[i].values || a[i].nested.size() != b[i].nested.size())
            finding("change record differs");
        for (size_t n = 0; n < a[i].nested.size(); ++n) {
            if (a[i].nested[n].field != b[i].nested[n].field) finding("nested field differs");
            sameRecords(a[i].nested[n].records, b[i].nested[n].records);
        }
    }
}

// Records decoded with their new values left encoded read the same values as those decoded whole.
void sameEncoded(const std::vector<ChangeRecord>& decoded, const std::vector<ChangeRecord>& kept,
                 const RowLayout& layout) {
    if (decoded.size() != kept.size()) finding("record counts differ when values stay encoded");
    for (size_t i = 0; i < decoded.size(); ++i) {
        const ChangeRecord& d = decoded[i];
        const ChangeRecord& k = kept[i];
        if (d.kind == ChangeKind::Insert) {
            if (!k.encodedValues || !k.values.empty()) finding("an insert's values were not left encoded");
            if (rowValues(layout, k.encodedValues) != d.values) finding("encoded values read differently");
        } else if (k.encodedValues || k.values != d.values) {
            finding("a record other than an insert changed when values stay encoded");
        }
        if (d.nested.size() != k.nested.size()) finding("nested changes differ when values stay encoded");
        for (size_t n = 0; n < d.nested.size(); ++n)
            sameEncoded(d.nested[n].records, k.nested[n].records, *layout.nested(d.nested[n].field));
    }
}

void changePacket(const Bytes& bytes) {
    ChangePacket first;
    try {
        first = decodeChangePacket(bytes);
    } catch (const PacketError&) {
        return;
    }
    Bytes again;
    try {
        again = encodeChangePacket(first);
    } catch (const VelmoraError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("a decoded change packet cannot be written");
    }
    ChangePacket second = decodeChangePacket(again);
    sameFields(first.fields, second.fields);
    sameRecords(first.records, second.records);
    ChangePacket kept;
    try {
        kept = decodeChangePacket(bytes, InsertValues::Encoded);
    } catch (const PacketError&) {
        finding("a change packet is refused only when its values stay encoded");
    }
    sameEncoded(first.records, kept.records, RowLayout(first.fields));
}

void failedRecords(const Bytes& bytes) {
    FailedRecordsPacket first;
    try {
        first = decodeFailedRecords(bytes);
    } catch (const PacketError&) {
        return;
    }
    Bytes again;
    try {
        again = encodeFailedRecords(first);
    } catch (const VelmoraError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("a decoded failed-records packet cannot be written");
    }
    FailedRecordsPacket second = decodeFailedRecords(again);
    if (first.rolledBack != second.rolledBack || first.failed.size() != second.failed.size() ||
        first.updated.size() != second.updated.size())
        finding("failed records differ");
    for (size_t i = 0; i < first.failed.size(); ++i)
        if (!(first.failed[i].path == second.failed[i].path) ||
            first.failed[i].code != second.failed[i].code ||
            first.failed[i].message != second.failed[i].message)
            finding("failed record differs");
    for (size_t i = 0; i < first.updated.size(); ++i)
        if (!(first.updated[i].path == second.updated[i].path) ||
            first.updated[i].values != second.updated[i].values)
            finding("server values differ");
}

}  // namespace
}  // namespace velmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora;
    if (size < 1) return 0;
    Bytes bytes(data + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            fuzz::dataPacket(std::move(bytes));
            break;
        case 1:
            fuzz::changePacket(bytes);
            break;
        default:
            fuzz::failedRecords(bytes);
            break;
    }
    return 0;
}
