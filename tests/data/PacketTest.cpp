// Data, change and failed-records packets: round trips, and refusal of damaged input.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/Cell.h"
#include "data/ChangePacket.h"
#include "data/DataPacket.h"
#include "data/FailedRecordsPacket.h"
#include "data/ProviderClient.h"
#include "tests/data/TestPackets.h"

namespace velmora::test {
namespace {

FieldDefs everyType() {
    return {textField("name", 20, kFieldRequired),
            intField("n"),
            numberField("price"),
            boolField("flag"),
            FieldDef{"at", FieldType::DateTime, 0, kFieldReadOnly, {}},
            nestedField("lines", {textField("chid")})};
}

Bytes everyTypePacket() {
    DataPacketWriter w(everyType(), false);
    w.beginRow();
    w.addText("销售开票");
    w.addInteger(-7);
    w.addDouble(2.5);
    w.addBoolean(true);
    w.addDateTime(45000.5);
    w.beginNested();
    for (const char* c : {"A1", "B2"}) {
        w.beginRow();
        w.addText(c);
        w.endRow();
    }
    w.endNested();
    w.endRow();
    w.beginRow();
    for (int i = 0; i < 5; ++i) w.addNull();
    w.beginNested();
    w.endNested();
    w.endRow();
    return w.finish();
}

std::vector<Variant> valuesOf(const DataPacket& p, size_t row) {
    return rowValues(*p.layout, p.rows[row]);
}

TEST(DataPacket, RoundTripsEveryTypeNullsAndNestedRows) {
    DataPacket p = decodeDataPacket(everyTypePacket());
    EXPECT_FALSE(p.complete);
    EXPECT_EQ(p.layout->fields(), everyType());
    ASSERT_EQ(p.rows.size(), 2u);
    std::vector<Variant> first = valuesOf(p, 0);
    EXPECT_EQ(first[0], Variant("销售开票"));
    EXPECT_EQ(first[1], Variant(-7));
    EXPECT_EQ(first[2], Variant(2.5));
    EXPECT_EQ(first[3], Variant(true));
    EXPECT_EQ(first[4], Variant::date(45000.5));
    std::vector<uint32_t> offsets(6);
    p.layout->offsets(p.rows[0], offsets.data());
    RowLayout::NestedRows lines = RowLayout::nestedRows(p.rows[0] + offsets[5]);
    ASSERT_EQ(lines.count, 2u);
    EXPECT_EQ(rowValues(*p.layout->nested(5), lines.first)[0], Variant("A1"));
    std::vector<Variant> second = valuesOf(p, 1);
    ASSERT_EQ(second.size(), everyType().size());
    for (const Variant& v : second) EXPECT_TRUE(v.isNull());
}

TEST(DataPacket, NumbersReadAsTheSameTextTheWireLayerGives) {
    FieldDefs fields{numberField("x")};
    RowLayout layout(fields);
    uint64_t seed = 42;
    std::vector<double> values{0.0,
                               -0.0,
                               30.000000000000004,
                               0.1 + 0.2,
                               1e15,
                               1e16,
                               123456789012345678.0,
                               -2.5e-7,
                               5999.95,
                               1.0 / 3,
                               1e300,
                               -1e-300};
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        double d;
        uint64_t bits = seed;
        std::memcpy(&d, &bits, 8);
        if (std::isfinite(d)) values.push_back(d);
        values.push_back(static_cast<double>(seed % 100000000) / 100.0);
    }
    for (double d : values) {
        Bytes row = encodeRow(layout, {Variant(d)});
        uint32_t offset = 0;
        layout.offsets(row.data(), &offset);
        EXPECT_EQ(cellText(layout, row.data(), &offset, 0), formatDouble15(d));
    }
}

std::string hex(const Bytes& b) {
    std::string out;
    char buf[4];
    for (uint8_t byte : b) {
        std::snprintf(buf, sizeof buf, "%02x", byte);
        out += buf;
    }
    return out;
}

TEST(DataPacket, WorkedExampleOfTheDocumentation) {
    FieldDefs fields{textField("khid", 50, kFieldKey), textField("khname")};
    const std::string descriptors =
        "01020400"
        "32000000"
        "6b686964"
        "01000600"
        "32000000"
        "6b686e616d65";
    EXPECT_EQ(hex(flatPacket(fields, {{Variant("01"), Variant("甲")}, {Variant("02"), Variant::null()}})),
              "564d504b"
              "0100"
              "01"
              "01"
              "3e000000"
              "02000000"
              "02000000"
              "00000000" +
                  descriptors +
                  "00"
                  "023031"
                  "03e794b2"
                  "02"
                  "023032");
    ChangePacket c{
        fields,
        {ChangeRecord{
            ChangeKind::Modify, 1, {Variant("02"), Variant::null()}, {Variant("02"), Variant("乙")}, {}}}};
    EXPECT_EQ(hex(encodeChangePacket(c)),
              "564d504b"
              "0100"
              "02"
              "00"
              "43000000"
              "02000000"
              "01000000"
              "00000000" +
                  descriptors +
                  "02"
                  "01000000"
                  "02"
                  "023032"
                  "00"
                  "023032"
                  "03e4b999");
    FailedRecordsPacket f;
    f.failed.push_back({RecordPath{1, {}}, 0, "Record changed by another user"});
    EXPECT_EQ(hex(encodeFailedRecords(f)),
              "564d504b"
              "0100"
              "03"
              "00"
              "41000000"
              "00000000"
              "01000000"
              "00000000"
              "01"
              "01000000"
              "00"
              "00000000"
              "1e"
              "5265636f7264206368616e67656420627920616e6f746865722075736572");
}

TEST(DataPacket, WriterRefusesValuesThatDoNotFitTheFields) {
    DataPacketWriter w({intField("n")});
    w.beginRow();
    EXPECT_THROW(w.addText("x"), VelmoraError);
    w.addInteger(1);
    EXPECT_THROW(w.addInteger(2), VelmoraError);
    w.endRow();
    w.beginRow();
    EXPECT_THROW(w.endRow(), VelmoraError);
}

void expectRefused(const Bytes& b) {
    EXPECT_THROW(decodeDataPacket(b), PacketError) << "size " << b.size();
}

TEST(DataPacket, EveryTruncatedPrefixIsRefused) {
    Bytes good = everyTypePacket();
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes prefix(good.data(), n);
        expectRefused(prefix);
    }
}

TEST(DataPacket, EachHeaderFieldAlteredIsRefused) {
    const Bytes good = everyTypePacket();
    // magic, version, kind, flags, length, field count, row count, reserved
    for (size_t at : {0u, 4u, 6u, 7u, 8u, 12u, 16u, 20u}) {
        Bytes bad = good;
        bad[at] ^= 0x40;
        expectRefused(bad);
    }
}

TEST(DataPacket, AnyFlippedByteDecodesOrIsRefusedNeverCrashes) {
    const Bytes good = everyTypePacket();
    const DataPacket original = decodeDataPacket(Bytes(good));
    size_t decoded = 0, refused = 0;
    for (size_t at = 0; at < good.size(); ++at) {
        // Magic, version and kind, the length and the field and row counts: never taken for
        // another packet.
        const bool headerCount = at < 7 || (at >= 8 && at < 20);
        for (uint8_t mask : {0x01, 0x80, 0xFF}) {
            Bytes bad = good;
            bad[at] ^= mask;
            SCOPED_TRACE("byte " + std::to_string(at) + " flipped with " + std::to_string(mask));
            try {
                DataPacket p = decodeDataPacket(std::move(bad));
                EXPECT_FALSE(headerCount) << "a damaged header decoded";
                // What decodes is a whole packet of the same shape, every row readable.
                EXPECT_EQ(p.layout->fields().size(), original.layout->fields().size());
                EXPECT_EQ(p.rows.size(), original.rows.size());
                for (const uint8_t* row : p.rows) rowValues(*p.layout, row);
                ++decoded;
            } catch (const PacketError&) {
                ++refused;
            }
        }
    }
    // Both outcomes occur: a flipped value byte reads as another value, a flipped structure byte
    // is refused.
    EXPECT_GT(decoded, 0u);
    EXPECT_GT(refused, 0u);
}

TEST(DataPacket, DeclaredSizesBeyondTheInputAreRefusedBeforeAllocating) {
    Bytes good = flatPacket({textField("a")}, {{Variant("x")}});
    auto patched = [&](size_t at, uint32_t v) {
        Bytes b = good;
        ByteWriter::store32(b.data() + at, v);
        return b;
    };
    expectRefused(patched(16, 0xFFFFFFFF));  // rows
    expectRefused(patched(12, 0xFFFFFFFF));  // fields
    // A text length of 2^32-1 in the row's varint.
    Bytes longText = good;
    size_t lengthAt = good.size() - 2;  // bitmap, length 1, 'x'
    ASSERT_EQ(longText[lengthAt], 1);
    const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
    Bytes b(good.data(), lengthAt);
    b.append(huge, sizeof huge);
    ByteWriter::store32(b.data() + 8, static_cast<uint32_t>(b.size()));
    expectRefused(b);
}

TEST(DataPacket, RefusalsSayWhatIsWrongAndWhere) {
    Bytes b = everyTypePacket();
    b[0] = 'X';
    try {
        decodeDataPacket(std::move(b));
        FAIL();
    } catch (const PacketError& e) {
        EXPECT_STREQ(e.what(), "Invalid data packet: bad magic at byte 4");
    }
}

TEST(DataPacket, ProviderResultsThatAreNoPacketGetTheirOwnMessages) {
    auto message = [](Variant v) {
        try {
            ProviderClient::takePacket(std::move(v));
        } catch (const VelmoraError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message(Variant()), "Missing data provider or data packet");
    EXPECT_EQ(message(Variant::null()), "Missing data provider or data packet");
    EXPECT_EQ(message(Variant("rows")), "Invalid data packet");
    EXPECT_EQ(message(Variant::byteArray(Bytes(std::string(21, 'x').data(), 21))), "Invalid data packet");
    EXPECT_EQ(message(Variant::byteArray(flatPacket({textField("a")}, {}))), "accepted");
}

ChangePacket sampleChanges() {
    ChangePacket c;
    c.fields = headerFields();
    auto header = [](const char* id) {
        std::vector<Variant> v(10, Variant::null());
        v[0] = Variant(id);
        v[7] = Variant(false);
        return v;
    };
    ChangeRecord ins{ChangeKind::Insert, 4, {}, header("B"), {}};
    ins.nested.push_back({8, {ChangeRecord{ChangeKind::Insert, 0, {}, line(0, "B", "c1", 1, 2), {}}}});
    ChangeRecord unmod{ChangeKind::Unmodified, 1, header("A"), {}, {}};
    unmod.nested.push_back(
        {8,
         {ChangeRecord{ChangeKind::Modify, 2, line(7, "A", "c1", 1, 2), line(7, "A", "c1", 3, 2), {}},
          ChangeRecord{ChangeKind::Delete, 3, line(8, "A", "c2", 1, 1), {}, {}}}});
    c.records = {ChangeRecord{ChangeKind::Delete, 0, header("Z"), {}, {}}, ins, unmod};
    return c;
}

TEST(ChangePacket, RoundTripsKindsValuesAndNestedChanges) {
    ChangePacket sent = sampleChanges();
    ChangePacket got = decodeChangePacket(encodeChangePacket(sent));
    EXPECT_EQ(got.fields, sent.fields);
    ASSERT_EQ(got.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got.records[i].kind, sent.records[i].kind);
        EXPECT_EQ(got.records[i].id, sent.records[i].id);
        EXPECT_EQ(got.records[i].original, sent.records[i].original);
        EXPECT_EQ(got.records[i].values, sent.records[i].values);
        ASSERT_EQ(got.records[i].nested.size(), sent.records[i].nested.size());
    }
    const auto& lines = got.records[2].nested[0].records;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].values[4], Variant(3.0));
    EXPECT_EQ(lines[1].kind, ChangeKind::Delete);
}

TEST(ChangePacket, DamagedInputIsRefused) {
    const Bytes good = encodeChangePacket(sampleChanges());
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_THROW(decodeChangePacket(Bytes(good.data(), n)), PacketError);
    Bytes wrongKind = good;
    wrongKind[6] = static_cast<uint8_t>(PacketKind::Data);
    EXPECT_THROW(decodeChangePacket(wrongKind), PacketError);
    for (size_t at = 0; at < good.size(); ++at) {
        Bytes bad = good;
        bad[at] ^= 0xFF;
        try {
            decodeChangePacket(bad);
        } catch (const PacketError&) {
        }
    }
}

TEST(FailedRecordsPacket, RoundTripsFailuresAndServerValues) {
    FailedRecordsPacket p;
    p.rolledBack = true;
    p.failed.push_back({RecordPath{3, {}}, 19, "UNIQUE constraint failed: kh.khid"});
    p.failed.push_back({RecordPath{1, {{8, 2}}}, 0, "changed by another user"});
    p.updated.push_back(
        {RecordPath{4, {{8, 0}}}, {{0, Variant(41)}, {3, Variant::null()}, {5, Variant(1.5)}}});
    FailedRecordsPacket got = decodeFailedRecords(encodeFailedRecords(p));
    EXPECT_TRUE(got.rolledBack);
    ASSERT_EQ(got.failed.size(), 2u);
    EXPECT_EQ(got.failed[0].message, "UNIQUE constraint failed: kh.khid");
    EXPECT_EQ(got.failed[0].code, 19);
    EXPECT_EQ(got.failed[1].path, (RecordPath{1, {{8, 2}}}));
    ASSERT_EQ(got.updated.size(), 1u);
    EXPECT_EQ(got.updated[0].values, p.updated[0].values);
}

TEST(FailedRecordsPacket, DamagedInputIsRefused) {
    FailedRecordsPacket p;
    p.failed.push_back({RecordPath{3, {{0, 1}}}, 1, "no"});
    const Bytes good = encodeFailedRecords(p);
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_THROW(decodeFailedRecords(Bytes(good.data(), n)), PacketError);
    Bytes manyEntries = good;
    ByteWriter::store32(manyEntries.data() + 16, 0x7FFFFFFF);
    EXPECT_THROW(decodeFailedRecords(manyEntries), PacketError);
    Bytes deep = good;
    deep[kPacketHeaderSize + 5] = 200;  // path depth
    EXPECT_THROW(decodeFailedRecords(deep), PacketError);
}

}  // namespace
}  // namespace velmora::test
