// The data packets the server builds from query results: column types that hold every value
// exactly, and field names the client can decode.

#include "tests/server/ServerDbFixture.h"

namespace velmora::server {
namespace {

using RecordsPacketTest = ServerDbFixture;

TEST_F(RecordsPacketTest, ExpressionColumnsWidenOverEveryValueAndNeverNarrow) {
    DataPacket big = open("select 3000000000");
    EXPECT_EQ(big.layout->type(0), FieldType::Double);
    EXPECT_EQ(row(big, 0)[0], Variant(3000000000.0));

    DataPacket mixed = open("select 1 union all select 2.5 union all select 1e300 union all select null");
    EXPECT_EQ(mixed.layout->type(0), FieldType::Double);
    EXPECT_EQ(row(mixed, 0)[0], Variant(1.0));
    EXPECT_EQ(row(mixed, 1)[0], Variant(2.5));
    EXPECT_EQ(row(mixed, 2)[0], Variant(1e300));
    EXPECT_TRUE(row(mixed, 3)[0].isNull());

    DataPacket small = open("select null union all select 7");
    EXPECT_EQ(small.layout->type(0), FieldType::Integer);
    EXPECT_EQ(row(small, 1)[0], Variant(7));

    // Past 2^53 a double would round: the exact digits travel as text, as mixed text does.
    DataPacket huge = open("select 9223372036854775807 union all select 1");
    EXPECT_EQ(huge.layout->type(0), FieldType::String);
    EXPECT_EQ(row(huge, 0)[0], Variant("9223372036854775807"));
    DataPacket text = open("select 1 union all select 'a'");
    EXPECT_EQ(text.layout->type(0), FieldType::String);
    EXPECT_EQ(row(text, 0)[0], Variant("1"));
}

TEST_F(RecordsPacketTest, AValueItsDeclaredColumnCannotHoldIsRefusedNotCut) {
    db->execute("insert into xsdzb (xsdid, lineid) values ('X1', 3000000000)");
    auto rows = db->query("select lineid from xsdzb");
    int32_t count = 0;
    EXPECT_THROW(buildRecordsPacket(*db, *rows, *findProvider("DataSetProviderhz"), count), VelmoraError);
}

TEST_F(RecordsPacketTest, RepeatedColumnNamesAreMadeUniqueAndTheKeyStaysWithTheFirst) {
    db->execute("insert into kh (khid, khname) values ('01', 'a')");
    DataPacket p = open("select khid, khid, KHID, khid as khid_1 from kh", "DataSetProviderkh");
    const FieldDefs& f = p.layout->fields();
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].name, "khid");
    EXPECT_EQ(f[1].name, "khid_1");
    EXPECT_TRUE(sameName(f[2].name, "khid_2")) << f[2].name;
    EXPECT_EQ(f[3].name, "khid_1_1");
    EXPECT_TRUE(f[0].flags & kFieldKey);
    EXPECT_FALSE(f[1].flags & kFieldKey);
    // No column takes the name of the nested lines.
    DataPacket orders = open("select xsdid, xsdid as ADOQueryxsdzb from xsdtb", "DataSetProviderxsdtb");
    EXPECT_EQ(orders.layout->fields()[1].name, "ADOQueryxsdzb_1");
    EXPECT_EQ(orders.layout->fields()[2].type, FieldType::DataSet);
}

TEST_F(RecordsPacketTest, OrderLinesStayRightWhenTheLinesPassedOnTheWayGrowTooMany) {
    // 40 orders asked for, whose lines come after 200,000 lines of orders nobody asked for: the
    // one-pass read keeps what it passes only so far, then looks the rest up one by one.
    db->execute(
        "insert into xsdzb (xsdid, chid, chname, quantity1) select 'A' || x, 'c', "
        "'" +
        std::string(100, 'n') +
        "', 1 from (with recursive n(x) as (select 1 union all "
        "select x + 1 from n where x < 200000) select x from n)");
    for (int i = 0; i < 40; ++i) {
        std::string id = "Z" + std::to_string(100 + i);
        db->execute("insert into xsdtb (xsdid) values ('" + id + "')");
        for (int l = 0; l <= i % 3; ++l)
            db->execute("insert into xsdzb (xsdid, chid, quantity1) values ('" + id + "', 'c', " +
                        std::to_string(l) + ")");
    }
    DataPacket p = open("select * from xsdtb where xsdid like 'Z%' order by xsdid", "DataSetProviderxsdtb");
    ASSERT_EQ(p.rows.size(), 40u);
    size_t nested = p.layout->fieldCount() - 1;
    std::vector<uint32_t> offsets(p.layout->fieldCount());
    for (size_t i = 0; i < p.rows.size(); ++i) {
        ASSERT_FALSE(RowLayout::isNull(p.rows[i], nested));
        p.layout->offsets(p.rows[i], offsets.data());
        EXPECT_EQ(RowLayout::nestedRows(p.rows[i] + offsets[nested]).count, i % 3 + 1) << "order " << i;
    }
}

TEST_F(RecordsPacketTest, ThousandsOfColumnsOfOneNameGetSuffixesInTurn) {
    // Such a statement once cost time growing with the cube of its columns, outside the query's
    // time limit (found by fuzzing).
    std::string sql = "select 1 as a_2";
    for (int i = 0; i < 1500; ++i) sql += ", 1 as a";
    DataPacket p = open(sql);
    const FieldDefs& f = p.layout->fields();
    ASSERT_EQ(f.size(), 1501u);
    EXPECT_EQ(f[1].name, "a");
    EXPECT_EQ(f[2].name, "a_1");
    EXPECT_EQ(f[3].name, "a_3");  // a_2 was taken by the first column
    EXPECT_EQ(f[1500].name, "a_1500");
}

}  // namespace
}  // namespace velmora::server
