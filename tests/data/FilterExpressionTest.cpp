// The filter language: quoting, precedence, types, nulls, and clear refusals.

#include <gtest/gtest.h>

#include "data/DataPacket.h"
#include "data/FilterExpression.h"
#include "tests/data/TestPackets.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

class FilterTest : public ::testing::Test {
  protected:
    FilterTest()
        : packet_(decodeDataPacket(
              flatPacket({textField("code"), textField("name"), numberField("qty"), boolField("ok")},
                         {{Variant("53"), Variant("O'Brien"), Variant(2.0), Variant(true)},
                          {Variant("54"), Variant("甲"), Variant(10.0), Variant(false)},
                          {Variant("T"), Variant::null(), Variant::null(), Variant::null()}}))) {}

    // The codes of the rows that pass text.
    std::string passing(const std::string& text) {
        FilterExpression f(text);
        f.bind(*packet_.layout);
        std::string out;
        for (const uint8_t* row : packet_.rows)
            if (f.matches(row)) out += (out.empty() ? "" : ",") + std::string(RowLayout::text(row + 1));
        return out;
    }

    DataPacket packet_;
};

TEST_F(FilterTest, ComparesFieldsWithQuotedText) {
    EXPECT_EQ(passing("code='53'"), "53");
    EXPECT_EQ(passing("CODE = '53'"), "53");
    EXPECT_EQ(passing("name='O''Brien'"), "53");
    EXPECT_EQ(passing("name = '甲'"), "54");
    EXPECT_EQ(passing("code<>'53'"), "54,T");
    EXPECT_EQ(passing("code != '53'"), "54,T");
    EXPECT_EQ(passing("code='T '"), "");
}

TEST_F(FilterTest, AndBindsTighterThanOrAndNotTighterThanAnd) {
    EXPECT_EQ(passing("code='T' or code='53' and qty > 5"), "T");
    EXPECT_EQ(passing("(code='T' or code='53') and qty > 1"), "53");
    EXPECT_EQ(passing("not code='53' and not code='T'"), "54");
    EXPECT_EQ(passing("not (code='53' or code='54')"), "T");
}

TEST_F(FilterTest, NumbersCompareAsNumbersAndTextAsText) {
    EXPECT_EQ(passing("qty >= 2"), "53,54");
    EXPECT_EQ(passing("qty < 3"), "53");
    EXPECT_EQ(passing("qty = '10'"), "54");   // text literal read as the field's number
    EXPECT_EQ(passing("code > 53"), "54,T");  // number literal compared as its spelling
    EXPECT_EQ(passing("qty > 1e0 and qty <= 10.0"), "53,54");
    EXPECT_EQ(passing("ok"), "53");
    EXPECT_EQ(passing("ok = false"), "54");
}

TEST_F(FilterTest, NullsMatchOnlyIsNull) {
    EXPECT_EQ(passing("name is null"), "T");
    EXPECT_EQ(passing("name IS NOT NULL"), "53,54");
    EXPECT_EQ(passing("qty <> 2"), "54");
    EXPECT_EQ(passing("not qty = 2"), "54,T");
    EXPECT_EQ(passing("   "), "53,54,T");
}

TEST_F(FilterTest, BadExpressionsAreRefusedWithTheirPosition) {
    auto message = [&](const std::string& text) {
        try {
            passing(text);
        } catch (const VelmoraError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message("code='53"),
              "Invalid filter expression \"code='53\": unterminated text at character 9");
    EXPECT_EQ(message("code='53' code"),
              "Invalid filter expression \"code='53' code\": unexpected text at character 11");
    EXPECT_EQ(message("(code='53'"),
              "Invalid filter expression \"(code='53'\": ')' expected at character 11");
    EXPECT_EQ(message("chflid='53'"), "Field 'chflid' not found");
    EXPECT_EQ(message("qty = 'many'"), "Type mismatch in filter \"qty = 'many'\" for field 'qty'");
    EXPECT_NE(message("code = "), "accepted");
    EXPECT_NE(message("code is 5"), "accepted");
    EXPECT_NE(message("'a'"), "accepted");
    EXPECT_NE(message("code"), "accepted");  // a text field is no condition
    EXPECT_NE(message(std::string(1000, '(') + "ok" + std::string(1000, ')')), "accepted");
}

}  // namespace
}  // namespace velmora::test
