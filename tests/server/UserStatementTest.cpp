// The user statements the server answers itself, recognised by shape and nothing looser.

#include <gtest/gtest.h>

#include "server/UserStatement.h"

namespace velmora::server {
namespace {

using Kind = UserStatement::Kind;

TEST(UserStatement, TheThreeShapesAsTheClientWritesThem) {
    EXPECT_EQ(recogniseUserStatement("select username from user1").kind, Kind::UserList);

    UserStatement check =
        recogniseUserStatement("select * from user1 where username='管理员'and password1='vantu'");
    EXPECT_EQ(check.kind, Kind::LoginCheck);
    EXPECT_EQ(check.user, "管理员");
    EXPECT_EQ(check.password, "vantu");

    UserStatement change =
        recogniseUserStatement("update  user1  set  password1 ='新' where username='王会计'");
    EXPECT_EQ(change.kind, Kind::PasswordChange);
    EXPECT_EQ(change.password, "新");
    EXPECT_TRUE(change.namesUser);
    EXPECT_EQ(change.user, "王会计");

    UserStatement bare = recogniseUserStatement("update  user1  set  password1 =''");
    EXPECT_EQ(bare.kind, Kind::PasswordChange);
    EXPECT_FALSE(bare.namesUser);
    EXPECT_EQ(bare.password, "");
}

TEST(UserStatement, CaseBlanksCommentsAndDoubledQuotesDoNotMatter) {
    UserStatement check = recogniseUserStatement(
        "SELECT *\n FROM User1 /* who */ WHERE username = ' O''Brien ' AND password1='it''s';  ");
    EXPECT_EQ(check.kind, Kind::LoginCheck);
    EXPECT_EQ(check.user, " O'Brien ");  // blanks inside the quotes belong to the name
    EXPECT_EQ(check.password, "it's");
    EXPECT_EQ(recogniseUserStatement("select username from user1 -- list").kind, Kind::UserList);
}

TEST(UserStatement, AnythingMoreOrOtherIsNotOneOfThem) {
    const char* const others[] = {
        "select username from user1 where 1=1",
        "select password1 from user1",
        "select * from user1",
        "select * from user1 where username='a'and password1='b' or '1'='1'",
        "select * from user1 where username='a'and password1=password1",
        "select * from user1 where username='a' and password1='b' union select * from user1",
        "select * from user1 where username='a and password1='b'",
        "update user1 set password1='x' where username like '%'",
        "update user1 set password1='x', username='y'",
        "update user1 set password1='x' where username='a' or 1=1",
        "delete from user1",
        "select username from user1; delete from kh",
        "",
    };
    for (const char* sql : others) {
        UserStatement s = recogniseUserStatement(sql);
        EXPECT_EQ(s.kind, Kind::None) << sql;
        EXPECT_TRUE(s.password.empty()) << sql;
    }
}

TEST(UserStatement, TheUserStoreIsFoundUnderEveryWayOfNamingIt) {
    for (const char* sql : {"select * from user1", "select * from main.user1", "select * from \"USER1\"",
                            "select * from [user1]", "select * from `user1`", "select a from kh,user1"})
        EXPECT_TRUE(namesUserStore(sql)) << sql;
    for (const char* sql :
         {"select * from kh where khname='user1'", "select * from user10", "select * from kh"})
        EXPECT_FALSE(namesUserStore(sql)) << sql;
}

}  // namespace
}  // namespace velmora::server
