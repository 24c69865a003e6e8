// The invoicing window's plain helpers: amounts, picker lines, picked items, SQL texts.
#include <gtest/gtest.h>

#include "data/GbkText.h"
#include "sales/LineAmounts.h"
#include "sales/OrderStatements.h"
#include "sales/PickerLine.h"
#include "session/PickedItem.h"
#include "transport/Errors.h"

using namespace velmora;

TEST(LineAmounts, AmountIsRoundedHalfAwayFromZeroOnTheShownDecimals) {
    EXPECT_EQ(amountText(Variant(0.125), Variant(1.0)), "0.13");
    EXPECT_EQ(amountText(Variant(-0.125), Variant(1.0)), "-0.13");
    EXPECT_EQ(amountText(Variant(1.005), Variant(1.0)), "1.01");
    EXPECT_EQ(amountText(Variant(2.675), Variant(1.0)), "2.68");
    EXPECT_EQ(amountText(Variant(3.0), Variant(2.5)), "7.50");
    EXPECT_EQ(amountText(Variant(0.0), Variant(9.99)), "0.00");
    EXPECT_EQ(amountText(Variant(1000000.0), Variant(12.34)), "12340000.00");
}

TEST(LineAmounts, PriceFromAmountAndQuantity) {
    EXPECT_EQ(priceText(Variant(10.0), Variant(3.0)), "3.33");
    EXPECT_EQ(priceText(Variant(-10.0), Variant(3.0)), "-3.33");
    EXPECT_EQ(priceText(Variant(0.25), Variant(2.0)), "0.13");
    EXPECT_EQ(priceText(Variant(7.5), Variant(3.0)), "2.50");
}

TEST(LineAmounts, MissingValuesAndZeroQuantityAreRefusedWithAClearMessage) {
    auto message = [](auto call) {
        try {
            call();
        } catch (const VelmoraError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([] { amountText(Variant::null(), Variant(2.0)); }), "数量和单价都要有值才能计算金额");
    EXPECT_EQ(message([] { amountText(Variant(2.0), Variant::null()); }), "数量和单价都要有值才能计算金额");
    EXPECT_EQ(message([] { amountText(Variant(), Variant(2.0)); }), "数量和单价都要有值才能计算金额");
    EXPECT_EQ(message([] { priceText(Variant::null(), Variant(2.0)); }), "金额和数量都要有值才能计算单价");
    EXPECT_EQ(message([] { priceText(Variant(5.0), Variant::null()); }), "金额和数量都要有值才能计算单价");
    EXPECT_EQ(message([] { priceText(Variant(5.0), Variant(0.0)); }), "数量为0，不能由金额计算单价");
}

TEST(PickerLine, CodeIsTheLineUpToItsFirstBlank) {
    EXPECT_EQ(pickerLine("K001", "华联超市"), "K001 华联超市");
    EXPECT_EQ(codeOfPickerLine(pickerLine("K001", "华联超市")), "K001");
    // A code with a blank comes back cut at it; an empty code stays empty; an empty name is fine.
    EXPECT_EQ(codeOfPickerLine(pickerLine("K 01", "x")), "K");
    EXPECT_EQ(codeOfPickerLine(pickerLine("", "无编号")), "");
    EXPECT_EQ(pickerLine("K009", ""), "K009 ");
    EXPECT_EQ(codeOfPickerLine("K009 "), "K009");
    EXPECT_EQ(codeOfPickerLine("K010"), "K010");
}

TEST(PickedItem, ValuesAreCutToTheirGbkSlotsWithoutSplittingACharacter) {
    const std::string name25 = "一二三四五六七八九十一二三四五六七八九十一二三四五";
    PickedItem item =
        PickedItem::of("012345678901", name25, "规格" + std::string(50, 'x'), "计量单位计量单位计量单位");
    EXPECT_EQ(item.chid, "01234567890");
    EXPECT_EQ(item.chname, "一二三四五六七八九十一二三四五六七八九十");
    EXPECT_EQ(gbkLength(item.ggxh), 40u);
    EXPECT_EQ(item.ggxh, "规格" + std::string(36, 'x'));
    EXPECT_EQ(item.jldw, "计量单位计量单位计量");
    // An odd number of bytes left for a two-byte character: the character is left out whole.
    PickedItem odd = PickedItem::of("0123456789糖", "a" + name25, "", "");
    EXPECT_EQ(odd.chid, "0123456789");
    EXPECT_EQ(odd.chname, "a一二三四五六七八九十一二三四五六七八九");
    EXPECT_EQ(PickedItem::of("0100101", "糖果", "", "").chid, "0100101");
}

TEST(OrderStatements, TypedValuesHaveTheirQuotesDoubled) {
    EXPECT_EQ(orderNumberQuery("XS000001"), "select * from xsdtb where xsdid='XS000001'");
    EXPECT_EQ(orderNumberQuery("a' or '1'='1"), "select * from xsdtb where xsdid='a'' or ''1''=''1'");
    EXPECT_EQ(customerLookupQuery("K'1"), "select * from  kh where khid='K''1'");
    EXPECT_EQ(salesmanLookupQuery("Y01"), "select * from  ywy where ywyid='Y01'");
    EXPECT_EQ(orderItemLinesQuery("O'Neil", "0'1"),
              "select * from xsdzb where xsdid='O''Neil' and chid='0''1'");
}
