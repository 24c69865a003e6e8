#include "data/GbkText.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(GbkText, ChineseCountsTwoBytesAndIsNeverCutInHalf) {
    EXPECT_EQ(gbkLength("abc"), 3u);
    EXPECT_EQ(gbkLength("大白兔奶糖"), 10u);
    EXPECT_EQ(gbkLength("500克/袋"), 8u);
    EXPECT_EQ(cutToGbkBytes("大白兔奶糖", 5), "大白");  // the third character would need bytes 5 and 6
    EXPECT_EQ(cutToGbkBytes("0100101XYZ1234", 11), "0100101XYZ1");
    EXPECT_EQ(cutToGbkBytes("a大b", 2), "a");
    EXPECT_EQ(cutToGbkBytes("a大b", 3), "a大");
    EXPECT_EQ(cutToGbkBytes("", 20), "");
    EXPECT_EQ(cutToGbkBytes("短", 40), "短");
}

TEST(GbkText, CharactersOutsideTheCodePageCountAsOneByte) {
    EXPECT_EQ(gbkLength("😀"), 1u);
    EXPECT_EQ(cutToGbkBytes("😀x", 1), "😀");
}

}  // namespace
}  // namespace velmora
