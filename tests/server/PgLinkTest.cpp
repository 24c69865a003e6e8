// When a lost PostgreSQL connection is tried again: at once, then after waits that double while
// the database stays out of reach, never in a loop that hammers it.

#include <gtest/gtest.h>

#include <string>

#include "server/PgLink.h"
#include "transport/Errors.h"

namespace velmora::server {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    ReconnectBackoff::Clock clock() {
        return [this] { return now; };
    }
};

TEST(ReconnectBackoff, WaitsDoubleWhileAttemptsFailAndStartAgainAfterASuccess) {
    FakeClock time;
    ReconnectBackoff backoff(time.clock());
    EXPECT_TRUE(backoff.mayTry());
    std::chrono::milliseconds expected[] = {250ms, 500ms, 1000ms, 2000ms, 4000ms, 8000ms, 10000ms, 10000ms};
    for (auto wait : expected) {
        backoff.failed();
        EXPECT_FALSE(backoff.mayTry());
        EXPECT_EQ(backoff.remaining(), wait);
        time.now += wait - 1ms;
        EXPECT_FALSE(backoff.mayTry());
        time.now += 1ms;
        EXPECT_TRUE(backoff.mayTry());
    }
    backoff.succeeded();
    backoff.failed();
    EXPECT_EQ(backoff.remaining(), 250ms);
}

std::string failure(PgLink& link) {
    try {
        link.get();
    } catch (const VelmoraError& e) {
        return e.what();
    }
    return "";
}

TEST(PgLink, ADatabaseOutOfReachIsNotTriedAgainBeforeItsWait) {
    FakeClock time;
    int setups = 0;
    PgLink link(
        "host=/nonexistent-velmora-socket-dir dbname=x user=x", "owner", [&](pg_conn*) { ++setups; },
        ReconnectBackoff(time.clock()));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(failure(link).rfind("Cannot open database: ", 0), 0u);
    // Even the first attempt, whose failure a caller may report elsewhere, is logged.
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("the owner connection to the database cannot be opened: "), std::string::npos) << log;
    // Within the wait the call fails at once and says when the next attempt comes.
    std::string early = failure(link);
    EXPECT_NE(early.find("tries again in 0.2 s"), std::string::npos) << early;
    time.now += 250ms;
    std::string attempted = failure(link);
    EXPECT_NE(attempted.find("cannot be reached: "), std::string::npos) << attempted;
    EXPECT_NE(failure(link).find("tries again in 0.5 s"), std::string::npos);
    EXPECT_EQ(setups, 0);
    EXPECT_EQ(link.current(), nullptr);
}

}  // namespace
}  // namespace velmora::server
