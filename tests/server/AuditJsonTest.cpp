// The values of an audit row's changes: always valid JSON, whatever bytes a client stored.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "server/AuditTrail.h"

namespace velmora::server {
namespace {

std::string json(const DbValue& v) {
    return auditJson(v);
}

TEST(AuditJson, TextIsEscapedAndBytesThatAreNotUtf8AreReplaced) {
    EXPECT_EQ(json(DbValue::ofText("华联\"超市\\")), "\"华联\\\"超市\\\\\"");
    EXPECT_EQ(json(DbValue::ofText(std::string("a\nb\x01", 4))), "\"a\\u000ab\\u0001\"");
    // A stray continuation byte, a lead byte cut short, an overlong form, a surrogate, a byte that
    // never starts a character: each becomes U+FFFD, and what follows is kept.
    EXPECT_EQ(json(DbValue::ofText("\x80x")), "\"\xEF\xBF\xBDx\"");
    EXPECT_EQ(json(DbValue::ofText("\xE5\x8D")), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(json(DbValue::ofText("\xC0\xAF")), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(json(DbValue::ofText("\xED\xA0\x80")), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(json(DbValue::ofText("\xF8!")), "\"\xEF\xBF\xBD!\"");
    EXPECT_EQ(json(DbValue::ofText("\xF0\x9F\x98\x80")), "\"\xF0\x9F\x98\x80\"");  // four bytes, valid
}

TEST(AuditJson, NumbersReadBackExactlyAndNonNumbersAreNull) {
    EXPECT_EQ(json(DbValue::ofInteger(-42)), "-42");
    EXPECT_EQ(json(DbValue::ofFloat(12.5)), "12.5");
    EXPECT_EQ(json(DbValue::ofFloat(5)), "5");
    EXPECT_EQ(json(DbValue::ofFloat(0.1 + 0.2)), "0.30000000000000004");
    EXPECT_EQ(json(DbValue::ofFloat(std::numeric_limits<double>::quiet_NaN())), "null");
    EXPECT_EQ(json(DbValue::ofFloat(INFINITY)), "null");
    EXPECT_EQ(json(DbValue::null()), "null");
}

}  // namespace
}  // namespace velmora::server
