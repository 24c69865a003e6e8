// Resume tokens: a lost connection's user may log in again once with the token it was given,
// never with a used, expired, altered or someone else's token; refusals count as failed logins.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "server/ResumeTokens.h"
#include "server/Session.h"
#include "tests/server/ServerDbFixture.h"

namespace velmora::server {
namespace {

using Outcome = ResumeTokens::Outcome;
using std::chrono::seconds;

class ResumeTokensTest : public ServerDbFixture {
  protected:
    ResumeTokens tokens{*db, [this] { return clock; }};
    int64_t clock = 1'000'000;
    std::string hash;
};

TEST_F(ResumeTokensTest, ATokenResumesOnceForItsUserAndTheDatabaseKeepsOnlyItsHash) {
    std::string token = tokens.issue("amy", hash, seconds(60));
    EXPECT_EQ(token.size(), 43u);  // 32 random bytes, URL-safe base64
    EXPECT_NE(tokens.issue("amy", hash, seconds(60)), token);
    auto stored = db->query("select tokenhash from resume_tokens", {});
    while (stored->next()) EXPECT_EQ(std::string(stored->text(0)).find(token), std::string::npos);

    EXPECT_EQ(tokens.consume("amy", token), Outcome::Accepted);
    EXPECT_EQ(tokens.consume("amy", token), Outcome::Unknown);  // a replay
}

TEST_F(ResumeTokensTest, AnExpiredTokenIsRefusedAndForgotten) {
    std::string token = tokens.issue("amy", hash, seconds(60));
    clock += 61;
    EXPECT_EQ(tokens.consume("amy", token), Outcome::Expired);
    EXPECT_EQ(tokens.consume("amy", token), Outcome::Unknown);
}

TEST_F(ResumeTokensTest, AnExtendedTokenOutlivesItsFirstExpiry) {
    std::string token = tokens.issue("amy", hash, seconds(60));
    clock += 50;
    tokens.extend(hash, seconds(60));
    clock += 50;
    EXPECT_EQ(tokens.consume("amy", token), Outcome::Accepted);
}

TEST_F(ResumeTokensTest, AnotherUsersTokenIsRefusedAndRevoked) {
    std::string token = tokens.issue("amy", hash, seconds(60));
    EXPECT_EQ(tokens.consume("bob", token), Outcome::OtherUser);
    EXPECT_EQ(tokens.consume("amy", token), Outcome::Unknown);
}

TEST_F(ResumeTokensTest, WrongAlteredOrMalformedTokensAreUnknownAndCostTheRealOneNothing) {
    std::string token = tokens.issue("amy", hash, seconds(60));
    std::string altered = token;
    altered[10] = altered[10] == 'A' ? 'B' : 'A';
    for (const std::string& wrong : {altered, std::string(), std::string(43, 'A'), token + "A",
                                     std::string(100000, 'x'), std::string("' or 1=1 --")})
        EXPECT_EQ(tokens.consume("amy", wrong), Outcome::Unknown) << wrong.substr(0, 50);
    EXPECT_EQ(tokens.consume("amy", token), Outcome::Accepted);
}

TEST_F(ResumeTokensTest, RevokingAUserEndsEveryTokenOfTheirs) {
    std::string first = tokens.issue("amy", hash, seconds(60));
    std::string second = tokens.issue("amy", hash, seconds(60));
    std::string other = tokens.issue("bob", hash, seconds(60));
    ResumeTokens::revokeUser(*db, "amy");
    EXPECT_EQ(tokens.consume("amy", first), Outcome::Unknown);
    EXPECT_EQ(tokens.consume("amy", second), Outcome::Unknown);
    EXPECT_EQ(tokens.consume("bob", other), Outcome::Accepted);
}

class SessionResumeTest : public ServerDbFixture {
  protected:
    SessionResumeTest() { UserStore(*db).add("amy", "pw"); }

    Session session(SessionLimits limits = {}) {
        return Session("127.0.0.1:" + std::to_string(++port_), pool, throttle, limits);
    }

    ConnectionPool pool{[this] { return openDatabase(location(), false); }, 2};
    LoginThrottle throttle{
        {std::chrono::milliseconds(1), std::chrono::milliseconds(1), std::chrono::minutes(1)}};

  private:
    int port_ = 4000;
};

TEST_F(SessionResumeTest, ALaterConnectionResumesAsTheUserAndGetsTheNextToken) {
    Session first = session();
    EXPECT_THROW(first.issueResumeToken(), NotLoggedIn);
    ASSERT_TRUE(first.checkLogin("amy", "pw"));
    std::string token = first.issueResumeToken();
    first.connectionEnded();

    Session second = session();
    std::string next = second.resume("amy", token);
    EXPECT_TRUE(second.loggedIn());
    EXPECT_EQ(second.user(), "amy");
    EXPECT_NE(next, token);
    EXPECT_THROW(second.resume("amy", next), VelmoraError);  // already logged in

    Session replay = session();
    EXPECT_THROW(replay.resume("amy", token), VelmoraError);
    EXPECT_FALSE(replay.loggedIn());
    Session third = session();
    third.resume("amy", next);
    EXPECT_TRUE(third.loggedIn());
}

TEST_F(SessionResumeTest, RefusedResumesCountAsFailedLoginsAndTellWhy) {
    SessionLimits limits;
    limits.maxFailedLogins = 3;
    Session owner = session();
    ASSERT_TRUE(owner.checkLogin("amy", "pw"));
    std::string token = owner.issueResumeToken();

    Session thief = session(limits);
    try {
        thief.resume("bob", token);
        FAIL() << "resumed with another user's token";
    } catch (const VelmoraError& e) {
        EXPECT_NE(std::string(e.what()).find("凭据无效"), std::string::npos) << e.what();
    }
    EXPECT_EQ(thief.closeAfterBlock(), std::nullopt);
    EXPECT_THROW(thief.resume("amy", token), VelmoraError);  // revoked by the wrong-user attempt
    EXPECT_THROW(thief.resume("amy", "nonsense"), VelmoraError);
    EXPECT_EQ(thief.closeAfterBlock(), std::optional<std::string>("3 failed logins"));
    EXPECT_FALSE(thief.loggedIn());
}

TEST_F(SessionResumeTest, ALogOffEndsTheTokenAndATimeoutOfZeroTurnsResumingOff) {
    Session owner = session();
    ASSERT_TRUE(owner.checkLogin("amy", "pw"));
    std::string token = owner.issueResumeToken();
    owner.revokeResumeToken();
    Session later = session();
    EXPECT_THROW(later.resume("amy", token), VelmoraError);

    SessionLimits off;
    off.resumeTimeout = seconds(0);
    Session plain = session(off);
    ASSERT_TRUE(plain.checkLogin("amy", "pw"));
    EXPECT_THROW(plain.issueResumeToken(), VelmoraError);
}

}  // namespace
}  // namespace velmora::server
