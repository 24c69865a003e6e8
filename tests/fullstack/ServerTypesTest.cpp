// The fields of every statement the client sends, as the client sees them: names, types and
// sizes that are the same whichever database the server runs on.

#include <gtest/gtest.h>

#include "data/FieldDef.h"
#include "tests/fullstack/FullstackHelpers.h"

namespace velmora::test {
namespace {

// "name:type[:size]" for every field of ds.
std::string describe(ClientDataSet& ds) {
    std::string out;
    for (int i = 0; i < ds.FieldCount(); ++i) {
        Field& f = ds.Fields(i);
        if (!out.empty()) out += ' ';
        out += f.FieldName() + ":" + fieldTypeName(f.DataType());
        if (f.Size()) out += ":" + std::to_string(f.Size());
    }
    return out;
}

std::string fieldsOf(ClientDataSet& ds, const std::string& sql) {
    Client::requery(ds, sql);
    return describe(ds);
}

const std::string kText = ":String:50";

std::string texts(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += (out.empty() ? "" : " ") + std::string(n) + kText;
    return out;
}

class ServerTypes : public ::testing::Test {
  protected:
    ServerProcess server;
    Client client{server};
    Tdm& dm = client.dm();
};

TEST_F(ServerTypes, MasterDataStatementsGiveTextsOfFifty) {
    EXPECT_EQ(fieldsOf(dm.ClientDataSetkh, "select * from kh"),
              texts({"khid", "khname", "tel", "address", "accountid", "tax"}));
    EXPECT_EQ(fieldsOf(dm.ClientDataSetkh, "select * from  ywy where ywyid='Y03'"),
              texts({"ywyid", "ywyname", "tel", "address"}));
    EXPECT_EQ(fieldsOf(dm.ClientDataSetch, "select * from ch where chflid = '01-001'"),
              texts({"chflid", "chid", "chname", "ggxh", "jldw"}));
    dm.ClientDataSetchfl.Open();
    EXPECT_EQ(describe(dm.ClientDataSetchfl), texts({"chflid", "chflname"}));
    EXPECT_EQ(fieldsOf(dm.ClientDataSethz, "select username from user1"), texts({"username"}));
}

TEST_F(ServerTypes, OrderStatementsGiveTextsNumbersAndTheAuditFlag) {
    std::string header = texts({"xsdid", "khid", "khname", "ywyid", "ywyname", "username", "shrname"}) +
                         " ischeck:Boolean rq" + kText;
    EXPECT_EQ(fieldsOf(dm.ClientDataSetxsdtb2, "select * from xsdtb where xsdid='XS000001'"), header);
    std::string lines = texts({"xsdid", "chid", "chname", "ggxh", "jldw"}) +
                        " quantity1:Float price1:Float money1:Float lineid:Integer";
    EXPECT_EQ(fieldsOf(dm.ClientDataSetxsdzb2, "select * from xsdzb where chid = '0100101'"), lines);
    EXPECT_EQ(fieldsOf(dm.ClientDataSetxsdview, "select * from xsdview where xsdid<> ' '"),
              texts({"xsdid", "rq", "khid", "khname", "ywyid", "ywyname", "username", "shrname", "chid",
                     "chname", "ggxh", "jldw"}) +
                  " quantity1:Float price1:Float money1:Float");
}

TEST_F(ServerTypes, SumsAreNumbersEvenOverNoRows) {
    const std::string totals =
        "select sum(quantity1) as sl, sum(money1) as je  from  xsdview where xsdid<> ' '";
    EXPECT_EQ(fieldsOf(dm.ClientDataSetxsdview2, totals), "sl:Float je:Float");
    EXPECT_EQ(
        fieldsOf(dm.ClientDataSethz,
                 "select khname,chname , sum(quantity1) as sl,  sum(money1) as je from xsdview where rq >= "
                 "'2002-10-01'  and rq <= '2003-03-31' group by khname,chname "),
        texts({"khname", "chname"}) + " sl:Float je:Float");
    // An empty set sums to null on both databases, in the same field types.
    Client::requery(dm.ClientDataSetxsdview2, totals + " and xsdid='none'");
    EXPECT_EQ(dm.ClientDataSetxsdview2.RecordCount(), 1);
    EXPECT_TRUE(dm.ClientDataSetxsdview2.FieldByName("je").IsNull());
    EXPECT_EQ(fieldsOf(dm.ClientDataSethz, "select count(*) as n from kh"), "n:Integer");
}

TEST_F(ServerTypes, WholeNumbersPastThirtyTwoBitsFollowOneRuleOnBothDatabases) {
    // Integer while 32 bits hold it, a double while it is exact (53 bits), else its text.
    Client::requery(dm.ClientDataSethz, "select 3000000000 as big, 7 as small, 9007199254740993 as huge");
    EXPECT_EQ(describe(dm.ClientDataSethz), "big:Float small:Integer huge:String");
    EXPECT_EQ(dm.ClientDataSethz.FieldByName("big").AsFloat(), 3000000000.0);
    EXPECT_EQ(dm.ClientDataSethz.FieldByName("huge").AsString(), "9007199254740993");
    Client::requery(dm.ClientDataSethz, "select count(*) * 1000000000 as n from kh");
    EXPECT_EQ(describe(dm.ClientDataSethz), "n:Float");
    EXPECT_EQ(dm.ClientDataSethz.FieldByName("n").AsFloat(), 10e9);
}

}  // namespace
}  // namespace velmora::test
