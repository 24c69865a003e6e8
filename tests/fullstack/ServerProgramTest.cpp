// The velmora-server program itself: its database file, its provider state and its options.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "data/DataPacket.h"
#include "tests/fullstack/FullstackHelpers.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

int rowsOf(const Variant& packet) {
    return static_cast<int>(decodeDataPacket(packet.bytes()).rows.size());
}

TEST(ServerProgram, ProvidersRememberTheLastCommandAcrossAResetAndShareIt) {
    ServerProcess server;
    Client client(server);
    auto app = client.connection.getServer();
    Variant params, owner;
    int32_t recs = 0;
    Variant first = app->RemoteGetRecords("DataSetProviderxsdview", -1, recs, 1,
                                          "select * from xsdview where khid='K001'", params, owner);
    int k001 = std::stoi(server.scalar("select count(*) from xsdview where khid='K001'"));
    EXPECT_EQ(rowsOf(first), k001);
    EXPECT_EQ(recs, k001);
    EXPECT_TRUE(app->RemoteGetRecords("DataSetProviderxsdview", 0, recs, 2, "", params, owner).isNull());
    // A refresh after the reset re-runs the same statement.
    EXPECT_EQ(rowsOf(app->RemoteGetRecords("DataSetProviderxsdview", -1, recs, 2, "", params, owner)), k001);
    // A provider that was never given a command runs its own query: all rows of its table.
    EXPECT_EQ(rowsOf(app->RemoteGetRecords("DataSetProviderkh", -1, recs, 2, "", params, owner)), 10);
    Variant names = app->RemoteGetProviderNames();
    EXPECT_EQ(names.arrayValue().items.size(), 9u);
    EXPECT_THROW(app->RemoteGetRecords("DataSetProviderxx", -1, recs, 1, "", params, owner), RemoteError);
    // Each connection keeps its own state.
    Client other(server);
    EXPECT_EQ(rowsOf(other.connection.getServer()->RemoteGetRecords("DataSetProviderxsdview", -1, recs, 2, "",
                                                                    params, owner)),
              std::stoi(server.scalar("select count(*) from xsdview")));
}

TEST(ServerProgram, ALoginCheckIsNotKeptAsTheProvidersCommand) {
    ServerProcess server;
    Client client(server);  // logged in through a login check on the login provider
    auto app = client.connection.getServer();
    Variant params, owner;
    int32_t recs = 0;
    // A refresh runs the provider's own query, the list of user names, not the check again.
    DataPacket refreshed =
        decodeDataPacket(app->RemoteGetRecords("DataSetProviderhz", -1, recs, 2, "", params, owner).bytes());
    ASSERT_EQ(refreshed.layout->fields().size(), 1u);
    EXPECT_EQ(refreshed.layout->fields()[0].name, "username");
    EXPECT_GT(refreshed.rows.size(), 1u);
}

TEST(ServerProgram, AnExistingDatabaseIsNeverOverwritten) {
    std::string path = "/tmp/velmora-kept-" + std::to_string(getpid()) + ".db";
    ServerProcess::Options options;
    options.databasePath = path;
    {
        ServerProcess server(options);
        Client client(server);
        Client::requery(client.dm().ClientDataSetkh, "select * from kh");
        client.dm().ClientDataSetkh.Delete();
        ASSERT_EQ(client.dm().ClientDataSetkh.ApplyUpdates(0), 0);
        EXPECT_EQ(server.scalar("select count(*) from kh"), "9");
    }
    {
        ServerProcess again(options);  // --init-demo once more, on the same file
        EXPECT_EQ(again.scalar("select count(*) from kh"), "9");
        EXPECT_EQ(again.log().find("created"), std::string::npos) << again.log();
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

TEST(ServerProgram, APortInUseIsReportedPlainly) {
    ServerProcess server;
    std::string command = std::string(VELMORA_SERVER_PATH) + " --listen 127.0.0.1 --port " +
                          std::to_string(server.port()) + " --db /tmp/velmora-port-test.db 2>&1";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char buf[256];
    while (fgets(buf, sizeof buf, out)) text += buf;
    int status = pclose(out);
    std::remove("/tmp/velmora-port-test.db");
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(text.find("cannot listen on 127.0.0.1:" + std::to_string(server.port())), std::string::npos)
        << text;
    EXPECT_NE(text.find("Address already in use"), std::string::npos) << text;
}

TEST(ServerProgram, BadOptionsPrintTheUsage) {
    std::string command = std::string(VELMORA_SERVER_PATH) + " --port seventy 2>&1";
    FILE* out = popen(command.c_str(), "r");
    std::string text;
    char buf[256];
    while (fgets(buf, sizeof buf, out)) text += buf;
    EXPECT_EQ(WEXITSTATUS(pclose(out)), 2);
    EXPECT_NE(text.find("--port takes a number from 0 to 65535, not 'seventy'"), std::string::npos) << text;
    EXPECT_NE(text.find("usage: velmora-server"), std::string::npos);
}

TEST(ServerProgram, TheDurabilityAskedForIsTheOneServed) {
    ServerProcess full;
    EXPECT_TRUE(logShows(full, "(durability full)")) << full.log();
    ServerProcess::Options options;
    options.extraArgs = {"--durability", "normal"};
    ServerProcess normal(options);
    EXPECT_TRUE(logShows(normal, "(durability normal)")) << normal.log();
    // What is acknowledged either way is stored.
    Client c(normal);
    Client::requery(c.dm().ClientDataSetywy, "select * from ywy");
    c.dm().ClientDataSetywy.Edit();
    c.dm().ClientDataSetywy.FieldByName("tel").setAsString("333");
    c.dm().ClientDataSetywy.Post();
    EXPECT_EQ(c.dm().ClientDataSetywy.ApplyUpdates(0), 0);
    EXPECT_EQ(normal.scalar("select count(*) from ywy where tel = '333'"), "1");
}

}  // namespace
}  // namespace velmora::test
