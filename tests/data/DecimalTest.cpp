#include "data/Decimal.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Decimal, ProductsRoundHalvesAwayFromZeroOnTheShownValue) {
    EXPECT_EQ(multiplyToCents(0.125, 1), 0.13);
    EXPECT_EQ(multiplyToCents(-0.125, 1), -0.13);
    EXPECT_EQ(multiplyToCents(1.005, 1), 1.01);  // binary 1.00499999... would give 1.00
    EXPECT_EQ(multiplyToCents(2.675, 1), 2.68);  // binary 2.67499999... would give 2.67
    EXPECT_EQ(multiplyToCents(3, 2.5), 7.5);
    EXPECT_EQ(multiplyToCents(0.1 + 0.2, 10), 3.0);  // 0.30000000000000004 shows as 0.3
    EXPECT_EQ(multiplyToCents(33.333, 3), 100.0);    // 99.999 rounds up
    EXPECT_EQ(multiplyToCents(0, 18.5), 0.0);
    EXPECT_EQ(multiplyToCents(123456789.12, 1000), 123456789120.0);
}

TEST(Decimal, QuotientsRoundTheSameWayAndRefuseZero) {
    EXPECT_EQ(divideToCents(10, 3), 3.33);
    EXPECT_EQ(divideToCents(20, 3), 6.67);
    EXPECT_EQ(divideToCents(-20, 3), -6.67);
    EXPECT_EQ(divideToCents(1, 8), 0.13);  // 0.125
    EXPECT_EQ(divideToCents(7.5, -3), -2.5);
    EXPECT_FALSE(divideToCents(5, 0).has_value());
}

TEST(Decimal, CentsTextHasTwoDecimalsAndAnIntegerDigit) {
    EXPECT_EQ(formatCents(7.5), "7.50");
    EXPECT_EQ(formatCents(0.13), "0.13");
    EXPECT_EQ(formatCents(-0.5), "-0.50");
    EXPECT_EQ(formatCents(0), "0.00");
    EXPECT_EQ(formatCents(1234567.891), "1234567.89");
    EXPECT_EQ(formatCents(2.675), "2.68");
    EXPECT_EQ(formatCents(1e-9), "0.00");
}

}  // namespace
}  // namespace velmora
