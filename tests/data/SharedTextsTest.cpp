// Rows kept with their texts shared read back exactly as they came, whatever the texts' lengths
// and however the rows fall into blocks; edits and the change packets built from them carry
// whole texts; and repeated texts are kept once a block.
#include <gtest/gtest.h>

#include "data/DataPacket.h"
#include "data/SharedTextRows.h"
#include "tests/data/DataSetFixture.h"

namespace velmora::test {
namespace {

FieldDefs listFields() {
    return {textField("xsdid"), textField("khname", 200), numberField("money1"), textField("jldw"),
            textField("note", 200000)};
}

// Row i: the order number and customer repeat over five lines, the unit over three; the note is
// null, empty, short, 63/64/127/128 bytes long (where the length's varint grows) or long.
Row listRow(int i) {
    static const size_t kNoteSizes[] = {0, 1, 63, 64, 127, 128, 70000};
    Variant note = i % 9 == 0 ? Variant::null()
                              : Variant(std::string(kNoteSizes[i % 7], static_cast<char>('a' + i % 26)));
    return {Variant("XS" + std::to_string(i / 5)), Variant("客户" + std::to_string((i / 5) % 40)),
            Variant(i * 1.5), Variant(std::string(i % 3 ? "台" : "个")), note};
}

std::vector<Row> listRows(int count) {
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i) rows.push_back(listRow(i));
    return rows;
}

class SharedTexts : public DataSetFixture {
  protected:
    void openList(const std::vector<Row>& rows) {
        provider->answer("DataSetProviderkh", flatPacket(listFields(), rows));
        kh.Open();
    }
    Row valuesAt(int row) {
        Row values;
        for (int f = 0; f < kh.FieldCount(); ++f) values.push_back(kh.valueAt(row, f));
        return values;
    }
};

TEST_F(SharedTexts, EveryValueReadsBackAsItCameAcrossBlocks) {
    // Enough rows for several blocks, the long notes among them larger than a block's start.
    const std::vector<Row> rows = listRows(3000);
    openList(rows);
    ASSERT_EQ(kh.RecordCount(), 3000);
    for (int r = 0; r < 3000; ++r) ASSERT_EQ(valuesAt(r), rows[static_cast<size_t>(r)]) << "row " << r;
    // Filters and indexes read the same texts.
    kh.setFilter("jldw='个'");
    kh.setFiltered(true);
    EXPECT_EQ(kh.RecordCount(), 1000);
    kh.setFiltered(false);
    kh.setIndexFieldNames("khname;xsdid");
    kh.First();
    EXPECT_EQ(kh.FieldByName("khname").AsString(), "客户0");
    EXPECT_EQ(kh.FieldByName("xsdid").AsString(), "XS0");
}

TEST_F(SharedTexts, AnEditedRowAndTheChangePacketCarryWholeTexts) {
    const std::vector<Row> rows = listRows(20);
    openList(rows);
    kh.setRecNo(7);  // a line whose order number and customer refer to the line before
    kh.Edit();
    kh.FieldByName("money1").setAsFloat(99);
    kh.Post();
    kh.setRecNo(12);
    kh.Edit();
    kh.FieldByName("khname").setAsString(std::string(100, 'x'));
    kh.Post();
    kh.Append();
    kh.FieldByName("xsdid").setAsString("XS3");
    kh.FieldByName("jldw").setAsString("台");
    kh.Post();
    EXPECT_EQ(kh.valueAt(6, 0), rows[6][0]);
    EXPECT_EQ(kh.valueAt(6, 1), rows[6][1]);
    EXPECT_EQ(kh.valueAt(6, 2).toDouble(), 99);

    ASSERT_EQ(kh.ApplyUpdates(-1), 0);
    const ChangePacket delta = provider->callsOf("ApplyUpdates").back().delta;
    ASSERT_EQ(delta.records.size(), 3u);
    Row edited = rows[6];
    edited[2] = Variant(99.0);
    EXPECT_EQ(delta.records[0].original, rows[6]);
    EXPECT_EQ(delta.records[0].values, edited);
    EXPECT_EQ(delta.records[1].original, rows[11]);
    EXPECT_EQ(delta.records[1].values[1], Variant(std::string(100, 'x')));
    EXPECT_EQ(delta.records[1].values[0], rows[11][0]);
    EXPECT_EQ(delta.records[2].values[0], Variant("XS3"));
    // After the apply the rows read as edited; a cancel has nothing left to undo.
    EXPECT_EQ(kh.valueAt(11, 1), Variant(std::string(100, 'x')));
    EXPECT_EQ(kh.valueAt(11, 4), rows[11][4]);
}

TEST(SharedTextRows, RepeatedTextsAreKeptOnceABlockAndOnlyWhereAReferenceIsShorter) {
    FieldDefs fields = {textField("a"), textField("b")};
    Row repeated = {Variant("北京华联商贸有限公司"), Variant("台")};
    std::vector<Row> rows(10000, repeated);
    DataPacket packet = decodeDataPacket(flatPacket(fields, rows));
    auto shared = packet.layout->withSharedTexts();
    SharedTextRows kept(*shared);
    std::vector<const uint8_t*> written;
    for (const uint8_t* row : packet.rows) written.push_back(kept.add(*packet.layout, row));
    for (const uint8_t* row : written) {
        std::vector<uint32_t> at(2);
        shared->offsets(row, at.data());
        ASSERT_EQ(shared->textAt(row + at[0]), "北京华联商贸有限公司");
        ASSERT_EQ(shared->textAt(row + at[1]), "台");
    }
    // Each row after a block's first is its bitmap and two one-byte references... or the unit
    // whole: "台" takes four bytes whole, a reference at most three.
    EXPECT_LT(kept.blockBytes(), packet.bytes.size() / 3);
    // Rows with their texts shared go out whole again.
    Bytes wire;
    shared->appendWireRow(written.back(), wire);
    EXPECT_EQ(wire.size(), packet.layout->rowSize(packet.rows.back()));
    EXPECT_EQ(0, std::memcmp(wire.data(), packet.rows.back(), wire.size()));
}

}  // namespace
}  // namespace velmora::test
