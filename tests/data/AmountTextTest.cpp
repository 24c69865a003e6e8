// How amounts are shown: two decimals at least, never fewer digits than the value holds.
#include <gtest/gtest.h>

#include "data/AmountText.h"

using velmora::amountDisplayText;

TEST(AmountText, ShowsTwoDecimalsAtLeast) {
    EXPECT_EQ(amountDisplayText(18.5), "18.50");
    EXPECT_EQ(amountDisplayText(3.0), "3.00");
    EXPECT_EQ(amountDisplayText(0.0), "0.00");
    EXPECT_EQ(amountDisplayText(-0.13), "-0.13");
    EXPECT_EQ(amountDisplayText(1234567.1), "1234567.10");
    // Binary noise of a sum is not shown: 0.1 + 0.2 reads 0.30.
    EXPECT_EQ(amountDisplayText(0.1 + 0.2), "0.30");
}

TEST(AmountText, KeepsMoreDecimalsWhereTheValueHasThem) {
    EXPECT_EQ(amountDisplayText(0.125), "0.125");
    EXPECT_EQ(amountDisplayText(2.3333), "2.3333");
}

TEST(AmountText, TakesNumbersHeldAsText) {
    EXPECT_EQ(amountDisplayText(std::string_view("7.5")), "7.50");
    EXPECT_EQ(amountDisplayText(std::string_view(" 12 ")), "12.00");
    EXPECT_EQ(amountDisplayText(std::string_view("")), "");
    EXPECT_EQ(amountDisplayText(std::string_view("未知")), "未知");
}
