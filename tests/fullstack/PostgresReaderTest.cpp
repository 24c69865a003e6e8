// On PostgreSQL: what one user's command texts may do to everyone else (locks, signals, sleeps,
// the catalogue, rows of any size), what the server takes from the reader role, and how a
// client's session lives through the loss of its database connections. Skips on SQLite.

#include <gtest/gtest.h>
#include <unistd.h>

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/fullstack/FullstackHelpers.h"

namespace velmora::test {
namespace {

// The velmora-server this test started (its only child of that name).
pid_t serverPid() {
    DIR* proc = ::opendir("/proc");
    pid_t found = -1;
    while (dirent* entry = proc ? ::readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, name, state;
        pid_t parent = 0;
        if (stat >> pid >> name >> state >> parent && parent == ::getpid() && name == "(velmora-server)")
            found = std::stoi(pid);
    }
    if (proc) ::closedir(proc);
    return found;
}

// The most memory the process has held so far, in kB.
long peakKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

class PostgresReader : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!onPostgres()) GTEST_SKIP() << "concerns PostgreSQL only (ctest -L postgres)";
    }
    static std::string open(Client& client, const std::string& sql) {
        return refusal([&] { Client::requery(client.dm().ClientDataSethz, sql); });
    }
    // The server's own sessions on its database, as an administrator sees them.
    static constexpr const char* kServerBackends =
        "select count(*) from pg_stat_activity where datname = current_database() and pid <> "
        "pg_backend_pid() "
        "and backend_type = 'client backend'";
    static constexpr const char* kReaderBackends =
        "select pid from pg_stat_activity where datname = current_database() and usename = 'velmora_reader' "
        "order by pid";
};

TEST_F(PostgresReader, LocksSignalsSleepsAndTheCatalogueAreRefusedAndNobodyElseIsTouched) {
    ServerProcess server;
    Client curious(server);
    Client other(server);
    Client::requery(other.dm().ClientDataSetkh, "select * from kh");
    Client::requery(curious.dm().ClientDataSetkh, "select * from kh");
    std::vector<std::string> readers = server.query(kReaderBackends);
    ASSERT_EQ(readers.size(), 2u);
    const char* const attacks[] = {
        "select pg_advisory_lock(1) from kh",
        "select count(pg_advisory_lock(g)) from generate_series(1,10) g",
        "select count(pg_terminate_backend(pid)) from pg_stat_activity where usename=current_user and "
        "pid<>pg_backend_pid()",
        "select pg_terminate_backend(1) from kh",
        "select pg_cancel_backend(1) from kh",
        "select pg_sleep(0) from kh",
        "select set_config('statement_timeout', '0', false)",
        "select pid, query from pg_stat_activity",
        "select relname from pg_catalog.pg_class",
        "select 'user1'::regclass",
        "select * from kh for update",
        "select * from xsdzb tablesample system (50)",
        "select repeat(khname, 1000000) from kh",
    };
    for (const char* sql : attacks) {
        std::string text = open(curious, sql);
        EXPECT_EQ(text.rfind("只能读取数据", 0), 0u) << sql << " -> " << text;
    }
    EXPECT_TRUE(logShows(server, "calling pg_advisory_lock")) << server.log();
    EXPECT_TRUE(logShows(server, "reading pg_stat_activity"));
    // No lock is held and every other session is as it was: the other client reads and writes.
    EXPECT_EQ(server.scalar("select count(*) from pg_locks where locktype = 'advisory'"), "0");
    EXPECT_EQ(server.query(kReaderBackends), readers);
    Client::requery(other.dm().ClientDataSetkh, "select * from kh where tel is not null or khid like 'K%'");
    EXPECT_EQ(other.dm().ClientDataSetkh.RecordCount(), 10);
    other.dm().ClientDataSetkh.Edit();
    other.dm().ClientDataSetkh.FieldByName("tel").setAsString("555");
    other.dm().ClientDataSetkh.Post();
    EXPECT_EQ(other.dm().ClientDataSetkh.ApplyUpdates(0), 0);
    // And the curious one goes on with ordinary reads.
    EXPECT_EQ(open(curious, "select khname, count(*) from xsdview group by khname order by 1"), "<served>");
    EXPECT_EQ(server.stop(), 0) << server.log();
}

TEST_F(PostgresReader, AServerWhoseReaderCannotLogInRefusesToStartAndSaysWhy) {
    ServerProcess server;  // the database, made and filled
    std::string reader = server.databasePath();
    reader.replace(reader.find("user=velmora"), 12, "user=velmora_nobody");
    // Bounded: a server that wrongly starts serving is ended rather than waited for.
    std::string command = std::string("timeout 60 ") + VELMORA_SERVER_PATH +
                          " --port 0 --listen 127.0.0.1 --db '" + server.databasePath() + "' --reader-db '" +
                          reader + "' 2>&1";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string text;
    char buf[256];
    while (fgets(buf, sizeof buf, out)) text += buf;
    EXPECT_EQ(WEXITSTATUS(pclose(out)), 1) << text;
    EXPECT_EQ(text.find("listening on"), std::string::npos) << text;
    EXPECT_NE(text.find("the reader connection to the database cannot be opened: "), std::string::npos)
        << text;
    EXPECT_NE(text.find("velmora_nobody"), std::string::npos) << text;
    EXPECT_NE(text.find("command texts run as the reader role"), std::string::npos) << text;
}

TEST_F(PostgresReader, TheServerTakesLocksSignalsAndSleepsFromTheReaderRoleAndCapsItsTemporaryFiles) {
    ServerProcess server;
    // The test cluster's owner is a superuser, as the server needs to be for these.
    EXPECT_EQ(server.scalar("select count(*) from pg_proc where proname in ('pg_advisory_lock', "
                            "'pg_advisory_xact_lock_shared', 'pg_terminate_backend', 'pg_cancel_backend', "
                            "'pg_sleep') and has_function_privilege('velmora_reader', oid, 'execute')"),
              "0");
    EXPECT_EQ(server.scalar("select count(*) from pg_db_role_setting s join pg_roles r on r.oid = s.setrole "
                            "where r.rolname = 'velmora_reader' and s.setdatabase = (select oid from "
                            "pg_database where datname = current_database()) and 'temp_file_limit=512MB' = "
                            "any(s.setconfig)"),
              "1");
    EXPECT_TRUE(logShows(server, "limited the role velmora_reader")) << server.log();
    // A grant given back since is taken again when the server starts.
    server.execute("GRANT EXECUTE ON FUNCTION pg_sleep(double precision) TO PUBLIC");
    server.restart();
    EXPECT_EQ(server.scalar("select has_function_privilege('velmora_reader', 'pg_sleep(double precision)', "
                            "'execute')"),
              "f");
}

TEST_F(PostgresReader, RowsPastTheResultLimitAreRefusedBeforeTheServerHoldsThem) {
    ServerProcess::Options options;
    options.extraArgs = {"--max-result-mb", "4"};
    ServerProcess server(options);
    Client client(server);
    pid_t pid = serverPid();
    ASSERT_GT(pid, 0);
    long before = peakKb(pid);
    // A 16 kB text doubled twelve times: one value of 64 MB, built only of what the allow-list
    // lets through (a literal, subqueries and ||).
    std::string rows = "(select '" + std::string(16384, 'x') + "'::text as l) d0";
    for (int level = 1; level <= 12; ++level)
        rows = "(select l || l as l from " + rows + ") d" + std::to_string(level);
    std::string huge = "select l from " + rows;
    EXPECT_EQ(open(client, huge), "结果过大 (the result passed the size limit of 4 MB)");
    long grown = peakKb(pid) - before;
    EXPECT_LT(grown, 32 * 1024) << "the server held " << grown << " kB more at its peak";
    EXPECT_TRUE(logShows(server, "its result passed 4 MB"));
    EXPECT_EQ(open(client, "select * from xsdview"), "<served>");
    EXPECT_EQ(server.stop(), 0) << server.log();
}

TEST_F(PostgresReader, ASessionReadsAndWritesOnAfterItsDatabaseConnectionsWereEnded) {
    ServerProcess server;
    Client client(server);
    ClientDataSet& kh = client.dm().ClientDataSetkh;
    Client::requery(kh, "select * from kh order by khid");
    kh.Edit();
    kh.FieldByName("tel").setAsString("111");
    kh.Post();
    ASSERT_EQ(kh.ApplyUpdates(0), 0);
    std::string khid = kh.FieldByName("khid").AsString();
    // An administrator (or a failover) ends every session of the server on its database.
    ASSERT_NE(server.scalar(kServerBackends), "0");
    server.query(
        "select pg_terminate_backend(pid) from pg_stat_activity where datname = current_database() and pid "
        "<> "
        "pg_backend_pid() and backend_type = 'client backend'");
    ASSERT_TRUE(waitUntil([&] { return server.scalar(kServerBackends) == "0"; }));
    // The same session reads and writes as before, on new connections.
    Client::requery(kh, "select * from kh order by khid");
    EXPECT_EQ(kh.RecordCount(), 10);
    kh.Edit();
    kh.FieldByName("tel").setAsString("222");
    kh.Post();
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(server.scalar("select tel from kh where khid = '" + khid + "'"), "222");
    EXPECT_TRUE(logShows(server, "the reader connection to the database was lost")) << server.log();
    EXPECT_TRUE(logShows(server, "the owner connection to the database was opened again"));
    EXPECT_EQ(server.stop(), 0) << server.log();
}

}  // namespace
}  // namespace velmora::test
