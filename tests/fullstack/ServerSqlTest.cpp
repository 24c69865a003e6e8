// What a logged-in client's command texts may do: read the product's tables and view, never the
// user store, never write (but for the own password change), and nothing reaches another file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "tests/fullstack/FullstackHelpers.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

class ServerSql : public ::testing::Test {
  protected:
    // Opens sql through the general-purpose dataset; the refusal text, or "<served>".
    std::string open(const std::string& sql) {
        return refusal([&] { Client::requery(dm.ClientDataSethz, sql); });
    }
    std::string execute(const std::string& sql) {
        return refusal([&] {
            dm.ClientDataSethz.Close();
            dm.ClientDataSethz.setCommandText(sql);
            dm.ClientDataSethz.Execute();
        });
    }
    bool stillServes() {
        Client::requery(dm.ClientDataSetkh, "select * from kh");
        return dm.ClientDataSetkh.RecordCount() == 10;
    }

    ServerProcess server;
    Client client{server};
    Tdm& dm = client.dm();
};

TEST_F(ServerSql, NoStatementReadsAPasswordOrAHash) {
    const char* const reaching[] = {
        "select * from user1",
        "select password1 from user1",
        "select * from USER1 where username='管理员'",
        "select * from main.user1",
        "select * from \"user1\"",
        "select k.khid, u.password1 from kh k, user1 u",
        "select khname from kh union select password1 from user1",
        "select (select password1 from user1 limit 1) as p from kh",
        "with u as (select * from user1) select * from u",
        "select * from kh where khid in (select password1 from user1)",
        "select * from sqlite_master",
        "select * from pragma_table_info('user1')",
        "select * from server_logins",
    };
    for (const char* sql : reaching) {
        std::string text = open(sql);
        // Refused as reading what a client may not; the catalogue of the other database is not
        // even there.
        bool foreignCatalogue =
            onPostgres() && (std::string(sql).find("sqlite_master") != std::string::npos ||
                             std::string(sql).find("pragma_") != std::string::npos);
        if (foreignCatalogue)
            EXPECT_NE(text, "<served>") << sql;
        else
            EXPECT_EQ(text.rfind("只能读取数据", 0), 0u) << sql << " -> " << text;
        EXPECT_EQ(text.find("argon2"), std::string::npos) << text;
    }
    // The user list names the users and nothing else.
    ASSERT_EQ(open("select username from user1"), "<served>");
    EXPECT_EQ(dm.ClientDataSethz.FieldCount(), 1);
    EXPECT_TRUE(stillServes());
}

TEST_F(ServerSql, EveryWritingOrEscapingCommandTextIsRefusedAndChangesNothing) {
    std::string copy = server.databasePath() + ".copy";
    const std::string forbidden[] = {
        "insert into kh (khid) values ('K999')",
        "update kh set tel = 'x'",
        "delete from xsdzb",
        "drop table ch",
        "create table t (a)",
        "alter table kh add column x",
        "vacuum into '" + copy + "'",
        "vacuum",
        "attach database '" + copy + "' as other",
        "pragma journal_mode=delete",
        "begin immediate",
        "savepoint s",
        "select load_extension('/tmp/x.so')",
        "select * from kh; delete from kh",
        std::string("select * from kh where khid='K001'") + '\0' + " or 1=1",
        "insert into user1 (username, password1) values ('x', 'y')",
        "update user1 set username='x'",
    };
    for (const std::string& sql : forbidden) {
        std::string viaOpen = open(sql);
        std::string viaExecute = execute(sql);
        EXPECT_NE(viaOpen, "<served>") << sql;
        EXPECT_NE(viaExecute, "<served>") << sql;
        EXPECT_EQ(viaOpen.find("argon2"), std::string::npos) << viaOpen;
    }
    EXPECT_EQ(open(std::string("select * from kh") + '\0').rfind("只能读取数据", 0), 0u);
    EXPECT_FALSE(fileExists(copy));
    EXPECT_EQ(server.scalar("select count(*) from kh where tel = 'x' or khid = 'K999'"), "0");
    EXPECT_NE(server.scalar("select count(*) from xsdzb"), "0");
    EXPECT_EQ(server.scalar("select count(*) from user1"), "3");
    // Nothing was left holding the write lock: another client applies at once.
    Client other(server);
    Client::requery(other.dm().ClientDataSetywy, "select * from ywy");
    other.dm().ClientDataSetywy.Edit();
    other.dm().ClientDataSetywy.FieldByName("tel").setAsString("111");
    other.dm().ClientDataSetywy.Post();
    EXPECT_EQ(other.dm().ClientDataSetywy.ApplyUpdates(0), 0);
    EXPECT_TRUE(stillServes());
    EXPECT_NE(server.log().find("refused"), std::string::npos);
}

TEST_F(ServerSql, ReadsOfTheProductsTablesAndViewRunAsSent) {
    EXPECT_EQ(open("select * from  ywy where ywyid='Y03'"), "<served>");
    EXPECT_EQ(dm.ClientDataSethz.FieldByName("ywyname").AsString(), "王强");
    EXPECT_EQ(open("select khname,chname , sum(quantity1) as sl,  sum(money1) as je from xsdview where rq >= "
                   "'2002-01-01'  and rq <= '2003-12-31' group by khname,chname "),
              "<served>");
    EXPECT_GT(dm.ClientDataSethz.RecordCount(), 0);
    EXPECT_EQ(
        open("with recursive n(x) as (select 1 union all select x + 1 from n where x < 5) select x from n"),
        "<served>");
    EXPECT_EQ(dm.ClientDataSethz.RecordCount(), 5);
    EXPECT_EQ(execute("select * from kh"), "<served>");
    EXPECT_NE(open("select * from nosuchtable").find("nosuchtable"), std::string::npos);
}

TEST_F(ServerSql, ThePasswordChangeStoresANewHashForTheOwnRowOnly) {
    std::string before = server.scalar("select password1 from user1 where username='王会计'");
    EXPECT_EQ(execute("update  user1  set  password1 ='新口令' where username='王会计'"),
              "只能更改自己的口令 (only your own password can be changed)");
    EXPECT_EQ(execute("update  user1  set  password1 ='it''s new' where username='管理员'"), "<served>");
    EXPECT_EQ(server.scalar("select password1 from user1 where username='王会计'"), before);
    std::string hash = server.scalar("select password1 from user1 where username='管理员'");
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    // Without a where clause it still touches the own row alone.
    Client clerk(server, Client::LoggedOut);
    loginAs(clerk.connection, "李出纳", "5678");
    ClientDataSet& hz = clerk.dm().ClientDataSethz;
    hz.setCommandText("update  user1  set  password1 ='出纳口令'");
    hz.Execute();
    EXPECT_EQ(server.scalar("select password1 from user1 where username='王会计'"), before);

    Client afterwards(server, Client::LoggedOut);
    EXPECT_THROW(loginAs(afterwards.connection, "管理员", "vantu"), std::exception);
    Client withNew(server, Client::LoggedOut);
    EXPECT_NO_THROW(loginAs(withNew.connection, "管理员", "it's new"));
    Client clerkAgain(server, Client::LoggedOut);
    EXPECT_NO_THROW(loginAs(clerkAgain.connection, "李出纳", "出纳口令"));
}

}  // namespace
}  // namespace velmora::test
