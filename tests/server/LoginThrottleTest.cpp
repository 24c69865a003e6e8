#include <gtest/gtest.h>

#include "server/LoginThrottle.h"

namespace velmora::server {
namespace {

using std::chrono::milliseconds;

TEST(LoginThrottle, EachFailureDoublesTheWaitUpToTheCeilingAndASuccessClearsIt) {
    LoginThrottle throttle({milliseconds(100), milliseconds(500), std::chrono::minutes(15)});
    EXPECT_EQ(throttle.delayFor("10.0.0.1"), milliseconds(0));
    std::vector<int64_t> waits;
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(throttle.failed("10.0.0.1"), i);
        waits.push_back(throttle.delayFor("10.0.0.1").count());
    }
    EXPECT_EQ(waits, (std::vector<int64_t>{100, 200, 400, 500, 500}));
    EXPECT_EQ(throttle.delayFor("10.0.0.2"), milliseconds(0));  // other addresses are not slowed
    throttle.succeeded("10.0.0.1");
    EXPECT_EQ(throttle.delayFor("10.0.0.1"), milliseconds(0));
    EXPECT_EQ(throttle.failed("10.0.0.1"), 1);
}

TEST(LoginThrottle, AQuietSpellForgetsTheFailures) {
    LoginThrottle throttle({milliseconds(100), milliseconds(500), std::chrono::minutes(0)});
    throttle.failed("10.0.0.1");
    throttle.failed("10.0.0.1");
    EXPECT_EQ(throttle.delayFor("10.0.0.1"), milliseconds(0));
    EXPECT_EQ(throttle.failed("10.0.0.1"), 1);
}

}  // namespace
}  // namespace velmora::server
