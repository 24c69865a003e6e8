// How the connection slots are shared out: who is closed to make room, who is refused, and who
// may log in.

#include "server/ConnectionTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace velmora::server {
namespace {

class ConnectionTableTest : public ::testing::Test {
  protected:
    ConnectionTable::Id open(ConnectionTable& table, const std::string& address) {
        std::string peer = address + ":" + std::to_string(++port_);
        ConnectionTable::Admission a = table.admit(peer, address, [this, peer] { stopped.push_back(peer); });
        lastRefusal = a.refusal;
        return a.id;
    }
    static ConnectionLimits limits(int max, int loggedOut, int perAddress, int perUser, int admins) {
        return {max, loggedOut, perAddress, perUser, admins};
    }

    std::vector<std::string> stopped;
    std::string lastRefusal;

  private:
    int port_ = 1000;
};

TEST_F(ConnectionTableTest, TheOldestConnectionNotLoggedInMakesRoomAndTheEndingOnesStayBounded) {
    ConnectionTable table(limits(10, 2, 8, 10, 1));
    ConnectionTable::Id a = open(table, "10.0.0.1");
    ConnectionTable::Id b = open(table, "10.0.0.2");
    ASSERT_TRUE(table.logIn(a, "amy", false) == std::nullopt);  // a logged-in connection is never closed
    ConnectionTable::Id c = open(table, "10.0.0.3");
    ASSERT_NE(open(table, "10.0.0.4"), 0u);
    EXPECT_EQ(stopped, std::vector<std::string>{"10.0.0.2:1002"});
    // A login on a connection being closed is refused.
    EXPECT_TRUE(table.logIn(b, "bob", false).has_value());
    // While two closed connections are still ending, nobody more is closed for a newcomer.
    ASSERT_NE(open(table, "10.0.0.5"), 0u);
    EXPECT_EQ(stopped.size(), 2u);
    EXPECT_EQ(open(table, "10.0.0.6"), 0u);
    EXPECT_EQ(lastRefusal, "server busy: 2 connections have not logged in yet (at most 2)");
    table.remove(b);
    table.remove(c);
    EXPECT_NE(open(table, "10.0.0.7"), 0u);
}

TEST_F(ConnectionTableTest, OneAddressWaitsWithAtMostItsShareAndAProxiedOneIsCountedOnceKnown) {
    ConnectionTable table(limits(10, 5, 2, 10, 1));
    ConnectionTable::Id first = open(table, "10.0.0.1");
    open(table, "10.0.0.1");
    EXPECT_EQ(open(table, "10.0.0.1"), 0u);
    EXPECT_EQ(lastRefusal, "server busy: 2 connections from 10.0.0.1 have not logged in yet (at most 2)");
    ConnectionTable::Id proxied = open(table, "");
    EXPECT_TRUE(table.place(proxied, "10.0.0.1:7", "10.0.0.1").has_value());
    ASSERT_TRUE(table.logIn(first, "amy", false) == std::nullopt);
    EXPECT_EQ(table.place(proxied, "10.0.0.1:7", "10.0.0.1"), std::nullopt);
}

TEST_F(ConnectionTableTest, AUserHasAtMostTheirShareAndTheLastSlotsAreAdministrators) {
    ConnectionTable table(limits(5, 5, 8, 2, 2));
    std::vector<ConnectionTable::Id> ids;
    for (int i = 0; i < 5; ++i) ids.push_back(open(table, "10.0.0.1"));
    EXPECT_EQ(table.logIn(ids[0], "amy", false), std::nullopt);
    EXPECT_EQ(table.logIn(ids[1], "amy", false), std::nullopt);
    EXPECT_NE(table.logIn(ids[2], "amy", false)->find("amy has 2 connections open"), std::string::npos);
    EXPECT_EQ(table.logIn(ids[2], "bob", false), std::nullopt);
    // Logging in again as another user leaves the old user's count.
    EXPECT_EQ(table.logIn(ids[1], "dora", false), std::nullopt);
    EXPECT_EQ(table.logIn(ids[3], "amy", true), std::nullopt);
    // Three of five are working: the last two are for administrators only.
    EXPECT_NE(table.logIn(ids[4], "carl", false)->find("kept for administrators"), std::string::npos);
    EXPECT_EQ(table.logIn(ids[4], "root", true), std::nullopt);
}

TEST_F(ConnectionTableTest, APausedLoginEndsWhenItsConnectionIsClosed) {
    ConnectionTable table(limits(10, 1, 8, 10, 1));
    ConnectionTable::Id waiting = open(table, "10.0.0.1");
    auto paused = std::async(std::launch::async, [&] { table.pause(waiting, std::chrono::hours(1)); });
    open(table, "10.0.0.2");  // closes the first to make room
    EXPECT_EQ(paused.wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

}  // namespace
}  // namespace velmora::server
