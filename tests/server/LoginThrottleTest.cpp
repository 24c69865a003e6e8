#include <gtest/gtest.h>

#include "server/LoginThrottle.h"

namespace velmora::server {
namespace {

using std::chrono::milliseconds;

TEST(LoginThrottle, EachFailureDoublesTheWaitUpToTheCeilingAndASuccessClearsIt) {
    LoginThrottle throttle({milliseconds(100), milliseconds(500), std::chrono::minutes(15)});
    EXPECT_EQ(throttle.delayFor("10.0.0.1", "王会计"), milliseconds(0));
    std::vector<int64_t> waits;
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(throttle.failed("10.0.0.1", "王会计"), i);
        waits.push_back(throttle.delayFor("10.0.0.1", "李出纳").count());
    }
    EXPECT_EQ(waits, (std::vector<int64_t>{100, 200, 400, 500, 500}));
    EXPECT_EQ(throttle.delayFor("10.0.0.2", "李出纳"), milliseconds(0));  // other addresses are not slowed
    throttle.succeeded("10.0.0.1", "王会计");
    EXPECT_EQ(throttle.delayFor("10.0.0.1", "王会计"), milliseconds(0));
    EXPECT_EQ(throttle.failed("10.0.0.1", "王会计"), 1);
}

TEST(LoginThrottle, GuessesAtOneUserAreSlowedFromEveryAddress) {
    LoginThrottle throttle({milliseconds(100), milliseconds(500), std::chrono::minutes(15)});
    throttle.failed("10.0.0.1", "管理员");
    throttle.failed("10.0.0.2", "管理员");
    throttle.failed("10.0.0.3", "管理员");
    EXPECT_EQ(throttle.failuresAgainst("管理员"), 3);
    EXPECT_EQ(throttle.delayFor("10.0.0.9", "管理员"), milliseconds(400));
    EXPECT_EQ(throttle.delayFor("10.0.0.9", "王会计"), milliseconds(0));
}

TEST(LoginThrottle, OnesOwnLoginDoesNotClearGuessesAtSomeoneElse) {
    LoginThrottle throttle({milliseconds(100), milliseconds(8000), std::chrono::minutes(15)});
    // One wrong guess at the administrator, then a correct login of one's own, over and over.
    for (int round = 1; round <= 4; ++round) {
        throttle.failed("10.0.0.1", "管理员");
        throttle.succeeded("10.0.0.1", "李出纳");
    }
    EXPECT_EQ(throttle.delayFor("10.0.0.1", "管理员"), milliseconds(800));
    EXPECT_EQ(throttle.delayFor("10.0.0.2", "管理员"), milliseconds(800));
    EXPECT_EQ(throttle.delayFor("10.0.0.1", "李出纳"), milliseconds(800));  // the address guessed
    EXPECT_EQ(throttle.delayFor("10.0.0.2", "李出纳"), milliseconds(0));
    // A mistyped password of one's own is cleared by one's own login, for the address too.
    throttle.failed("10.0.0.5", "王会计");
    throttle.failed("10.0.0.5", "管理员");
    throttle.succeeded("10.0.0.5", "王会计");
    EXPECT_EQ(throttle.delayFor("10.0.0.5", "王会计"), milliseconds(100));  // one guess left
    EXPECT_EQ(throttle.failed("10.0.0.5", "赵会计"), 2);  // the guess at 管理员 still counts
}

TEST(LoginThrottle, AQuietSpellForgetsTheFailures) {
    LoginThrottle throttle({milliseconds(100), milliseconds(500), std::chrono::minutes(0)});
    throttle.failed("10.0.0.1", "管理员");
    throttle.failed("10.0.0.1", "管理员");
    EXPECT_EQ(throttle.delayFor("10.0.0.1", "管理员"), milliseconds(0));
    EXPECT_EQ(throttle.failed("10.0.0.1", "管理员"), 1);
}

}  // namespace
}  // namespace velmora::server
