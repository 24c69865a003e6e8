// The velmora-server program itself: its database file, its provider state and its options.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "data/ChangePacket.h"
#include "data/DataPacket.h"
#include "tests/fullstack/FullstackHelpers.h"
#include "tests/support/SalesTotalsCheck.h"
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

// A new order with one line, as a change packet for the provider whose fields are these.
Bytes newOrderPacket(const FieldDefs& fields, const char* number) {
    size_t linesField = 0;
    while (fields.at(linesField).type != FieldType::DataSet) ++linesField;
    const FieldDefs& lineFields = fields[linesField].nested;
    std::vector<Variant> header(fields.size(), Variant::null());
    header[static_cast<size_t>(findField(fields, "xsdid"))] = Variant(number);
    std::vector<Variant> line(lineFields.size(), Variant::null());
    line[static_cast<size_t>(findField(lineFields, "xsdid"))] = Variant(number);
    line[static_cast<size_t>(findField(lineFields, "chid"))] = Variant("C1");
    ChangeRecord order{ChangeKind::Insert, 1, {}, header, {}};
    order.nested.push_back(
        {static_cast<uint32_t>(linesField), {ChangeRecord{ChangeKind::Insert, 2, {}, line, {}}}});
    return encodeChangePacket(ChangePacket{fields, {order}});
}

TEST(ServerProgram, ABrokenChangePacketIsRefusedWholeAndTheConnectionGoesOn) {
    ServerProcess server;
    Client client(server);
    auto app = client.connection.getServer();
    Variant params, owner;
    int32_t recs = 0, errors = 0;
    DataPacket none = decodeDataPacket(app->RemoteGetRecords("DataSetProviderxsdtb", -1, recs, 1,
                                                             "select * from xsdtb where 1=0", params, owner)
                                           .bytes());
    Bytes good = newOrderPacket(none.layout->fields(), "BROKEN1");
    std::string lines = server.scalar("select count(*) from xsdzb");
    auto apply = [&](const Bytes& packet) {
        return app->RemoteApplyUpdates("DataSetProviderxsdtb", Variant::byteArray(packet), -1, errors, owner);
    };
    // Cut short anywhere, or with the order number's length running far past the end.
    for (size_t size = good.size() - 1; size > 8; size -= 5)
        EXPECT_THROW(apply(Bytes(good.data(), size)), RemoteError) << size;
    std::string text(reinterpret_cast<const char*>(good.data()), good.size());
    size_t number = text.find("BROKEN1");
    ASSERT_NE(number, std::string::npos);
    Bytes overlong = good;
    overlong.data()[number - 1] = 0xF0;
    EXPECT_THROW(apply(overlong), RemoteError);
    EXPECT_EQ(server.scalar("select count(*) from xsdtb where xsdid = 'BROKEN1'"), "0");
    EXPECT_EQ(server.scalar("select count(*) from xsdzb"), lines);
    EXPECT_NE(server.log().find("refused a change packet"), std::string::npos) << server.log();

    EXPECT_TRUE(apply(good).isByteArray());  // the line's id comes back
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where xsdid = 'BROKEN1'"), "1");
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

TEST(ServerProgram, ADatabaseOfSchemaOneGainsTheOrderDateIndexAtItsStart) {
    ServerProcess old;
    old.stop();
    // As the first numbered schema left it: no index on the order date.
    old.execute("drop index xsdtb_rq");
    old.execute("update server_meta set value = '1' where name = 'schema_version'");
    const std::string index = onPostgres() ? "select count(*) from pg_indexes where indexname = 'xsdtb_rq'"
                                           : "select count(*) from sqlite_master where name = 'xsdtb_rq'";
    ASSERT_EQ(old.scalar(index), "0");
    old.restart();
    EXPECT_EQ(old.scalar(index), "1");
    EXPECT_EQ(old.scalar("select value from server_meta where name = 'schema_version'"), "3");
    old.restart();  // and again, with nothing left to do
    EXPECT_EQ(old.scalar(index), "1");
}

TEST(ServerProgram, ADatabaseOfSchemaTwoGainsTheSalesTotalsFilledFromItsOrders) {
    ServerProcess old;
    old.stop();
    // As schema version 2 left it: the orders without totals beside them.
    for (const char* trigger : {"xsdzb_hz_insert", "xsdzb_hz_delete", "xsdzb_hz_update", "xsdtb_hz_insert",
                                "xsdtb_hz_delete", "xsdtb_hz_update"})
        old.execute(onPostgres() ? std::string("drop function ") + trigger + "() cascade"
                                 : std::string("drop trigger ") + trigger);
    for (const char* table : {"xsdhz_rq", "xsdhz_kh", "xsdhz_ch", "xsdhz_ywy"})
        old.execute(std::string("drop table ") + table);
    if (onPostgres()) {
        old.execute("drop function xsdhz_fold() cascade");
        old.execute("drop table xsdhz_pending");
        old.execute("drop table xsdhz_flag");
    }
    old.execute("update server_meta set value = '2' where name = 'schema_version'");
    // An order typed on another workstation, in its own format.
    old.execute(
        "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, rq) values ('V2', 'K001', '华联超市', "
        "'Y01', '张伟', '2003年5月6日')");
    old.execute(
        "insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values ('V2', '0100101', "
        "'联想电脑', 2, 5, 10)");
    old.restart();
    EXPECT_EQ(old.scalar("select value from server_meta where name = 'schema_version'"), "3");
    EXPECT_EQ(old.scalar(salesTotalsMismatchSql()), "0");
    EXPECT_EQ(
        old.scalar("select count(*) from xsdhz_kh where rq = '2003-05-01' and khid = 'K001' and je = 10"),
        "1");
    EXPECT_EQ(old.scalar("select sum(hs) from xsdhz_rq"), old.scalar("select count(*) from xsdview"));
    // The reports read them; from now on every write keeps them.
    Client client(old);
    Client::requery(client.dm().ClientDataSethz, "select count(*) as n from xsdhz_ywy");
    EXPECT_GT(client.dm().ClientDataSethz.Fields(0).AsInteger(), 0);
    old.execute("delete from xsdzb where xsdid = 'V2'");
    EXPECT_EQ(old.scalar(salesTotalsMismatchSql()), "0");
    old.restart();  // and again, with nothing left to do
    EXPECT_EQ(old.scalar("select count(*) from xsdhz_kh where rq = '2003-05-01' and khid = 'K001'"), "0");
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
    EXPECT_NE(text.find(": address already in use (98)"), std::string::npos) << text;
    EXPECT_EQ(text.find("Windows"), std::string::npos) << text;
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

// Runs the server program with args and returns what it printed on both streams and its status.
std::pair<std::string, int> runServer(const std::string& args) {
    FILE* out = popen((std::string(VELMORA_SERVER_PATH) + " " + args + " 2>&1").c_str(), "r");
    std::string text;
    char buf[256];
    while (out && fgets(buf, sizeof buf, out)) text += buf;
    return {text, out ? WEXITSTATUS(pclose(out)) : -1};
}

TEST(ServerProgram, AConfigurationFileTakesCommentsAndARefusalNamesItsLineAlone) {
    std::string conf = "/tmp/velmora-program-" + std::to_string(getpid()) + ".conf";
    std::string db = "/tmp/velmora-program-" + std::to_string(getpid()) + ".db";
    {
        FILE* f = std::fopen(conf.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "db = %s  # the test's own\ndurability = full  # survive a power cut\n", db.c_str());
        std::fclose(f);
    }
    auto [created, status] = runServer("--config " + conf + " --init-only");
    EXPECT_EQ(status, 0) << created;
    EXPECT_EQ(access(db.c_str(), F_OK), 0) << created;

    FILE* f = std::fopen(conf.c_str(), "a");
    ASSERT_NE(f, nullptr);
    std::fputs("durability = fast\n", f);
    std::fclose(f);
    auto [refused, refusedStatus] = runServer("--config " + conf + " --init-only");
    EXPECT_EQ(refusedStatus, 2);
    EXPECT_EQ(refused, conf + ":3: durability takes full or normal, not 'fast'\n");
    for (const std::string& file : {conf, db, db + "-wal", db + "-shm"}) std::remove(file.c_str());
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
