// Backups against the real server and database: a backup taken while twenty clients save orders
// holds whole orders only, and every order acknowledged before it; a restore gives back every
// table row by row; a damaged file, a served database and a killed backup harm nothing; the
// server's own backups rotate; the client's members need the right.

#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill is POSIX
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include <set>

#include "data/ClientDataSet.h"
#include "tests/fullstack/BackupHelpers.h"
#include "tests/fullstack/FullstackHelpers.h"
#include "tests/support/SalesTotalsCheck.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

constexpr int kWriters = 20;
constexpr int kLinesPerOrder = 3;

class Backups : public ::testing::Test {
  protected:
    Backups() {
        char pattern[] = "/tmp/velmora-backup-test-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        dir = pattern;
    }
    ~Backups() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // Backs up the database at location into file; the command's output.
    std::string backup(const std::string& location, const std::string& file) {
        Outcome r = runServerProgram({"backup", "--db", location, "--to", file});
        EXPECT_EQ(r.status, 0) << r.output;
        return r.output;
    }
    Outcome restore(const std::string& file, const std::string& location, bool keep = true) {
        std::vector<std::string> args = {"restore", file, "--db", location};
        if (!keep) args.emplace_back("--no-keep");
        return runServerProgram(args);
    }
    static std::string auditVerify(const std::string& location) {
        Outcome r = runServerProgram({"audit", "verify", "--db", location});
        return std::to_string(r.status) + " " + r.output.substr(0, r.output.find(','));
    }

    std::string dir;
};

// Saves orders of kLinesPerOrder lines until stop; each acknowledged one is noted with the time.
void saveUntil(const ServerProcess& server, int writer, const std::atomic<bool>& stop, std::mutex& m,
               std::vector<std::pair<std::string, std::string>>& acknowledged) {
    Client c(server);
    ClientDataSet& tb = c.dm().ClientDataSetxsdtb;
    ClientDataSet& zb = c.dm().ClientDataSetxsdzb;
    zb.Open();
    for (int o = 0; !stop; ++o) {
        std::string number = "W" + std::to_string(writer) + "-" + std::to_string(o);
        tb.Insert();
        tb.FieldByName("xsdid").setAsString(number);
        tb.FieldByName("khid").setAsString("K001");
        tb.FieldByName("rq").setAsString("2024-04-01");
        for (int l = 0; l < kLinesPerOrder; ++l) {
            zb.Insert();
            zb.FieldByName("xsdid").setAsString(number);
            zb.FieldByName("chid").setAsString("0100101");
            zb.FieldByName("quantity1").setAsFloat(l + 1);
            zb.FieldByName("price1").setAsFloat(0.1);
            zb.Post();
        }
        tb.Post();
        if (tb.ApplyUpdates(0) != 0) continue;
        std::lock_guard<std::mutex> lock(m);
        acknowledged.emplace_back(number, isoNow());
    }
}

TEST_F(Backups, ABackupDuringTwentyWritersHoldsWholeOrdersAndEveryOneAcknowledgedBeforeIt) {
    ServerProcess::Options options;
    options.extraArgs = {"--max-login-connections-per-address", "32", "--max-connections-per-user", "32"};
    ServerProcess server(options);
    std::atomic<bool> stop{false};
    std::mutex m;
    std::vector<std::pair<std::string, std::string>> acknowledged;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] { saveUntil(server, w, stop, m, acknowledged); });
    ASSERT_TRUE(waitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(m);
            return acknowledged.size() >= 40;
        },
        std::chrono::seconds(60)));
    const std::string file = dir + "/during.vbak";
    backup(server.databasePath(), file);
    // The writers go on past the backup's end, so that it ran among them throughout.
    size_t atBackup = 0;
    {
        std::lock_guard<std::mutex> lock(m);
        atBackup = acknowledged.size();
    }
    waitUntil([&] {
        std::lock_guard<std::mutex> lock(m);
        return acknowledged.size() >= atBackup + 20;
    });
    stop = true;
    for (std::thread& t : writers) t.join();

    Outcome verified = runServerProgram({"verify", file});
    ASSERT_EQ(verified.status, 0) << verified.output;
    size_t at = verified.output.find("taken ");
    ASSERT_NE(at, std::string::npos);
    const std::string taken = verified.output.substr(at + 6, 24);
    // Read back through a restore into a file of its own, whatever database the server uses.
    const std::string copy = dir + "/check.db";
    ASSERT_EQ(restore(file, copy).status, 0);
    auto check = TestDatabase::open(copy);
    // No partial order: each order has all its lines, and no line is without its order.
    EXPECT_EQ(
        check->query("select count(*) from (select xsdid from xsdzb where xsdid like 'W%' group by xsdid "
                     "having count(*) <> " +
                     std::to_string(kLinesPerOrder) + ")")[0],
        "0");
    EXPECT_EQ(check->query("select count(*) from xsdzb z where xsdid like 'W%' and not exists (select 1 from "
                           "xsdtb t where t.xsdid = z.xsdid)")[0],
              "0");
    std::vector<std::string> inBackup = check->query("select xsdid from xsdtb where xsdid like 'W%'");
    std::set<std::string> held(inBackup.begin(), inBackup.end());
    size_t before = 0, after = 0;
    for (const auto& [number, time] : acknowledged) {
        if (time < taken) {
            ++before;
            EXPECT_TRUE(held.count(number))
                << number << " acknowledged at " << time << ", backup taken " << taken;
        } else if (!held.count(number)) {
            ++after;
        }
    }
    EXPECT_GE(before, 40u);
    EXPECT_GT(after, 0u);  // orders committed after the snapshot are not in it
    EXPECT_EQ(auditVerify(copy).substr(0, 1), "0");
}

TEST_F(Backups, ABackupWithoutToGoesIntoTheBackupFolderEvenBeforeItExists) {
    ServerProcess server;
    const std::string folder = dir + "/not-yet";
    Outcome r = runServerProgram({"backup", "--db", server.databasePath(), "--backup-dir", folder});
    ASSERT_EQ(r.status, 0) << r.output;
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode)) << "the backup was written as a file named after the folder";
    EXPECT_NE(r.output.find("backup written: " + folder + "/velmora-"), std::string::npos) << r.output;
}

TEST_F(Backups, ARestoreGivesBackEveryTableRowByRow) {
    ServerProcess server;
    {
        auto c = loggedIn(server, "管理员", "vantu");
        ClientDataSet& kh = c->dm().ClientDataSetkh;
        Client::requery(kh, "select * from kh where khid = 'K001'");
        kh.Append();
        kh.FieldByName("khid").setAsString("K900");
        kh.FieldByName("khname").setAsString("客户 😀 'quoted' \"x\"");
        kh.Post();
        ASSERT_EQ(kh.ApplyUpdates(0), 0);
    }
    server.execute("update xsdzb set price1 = 0.1 + 0.2, money1 = null where lineid = 1");
    // The newest line is deleted: its key must never come back, or its history would join another's.
    const std::string deletedKey = server.scalar("select max(lineid) from xsdzb");
    server.execute("delete from xsdzb where lineid = " + deletedKey);
    const std::string file = dir + "/full.vbak";
    backup(server.databasePath(), file);
    auto target = TestDatabase::create(dir, dir + "/restored.db");
    Outcome r = restore(file, target->location());
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("audit trail intact"), std::string::npos) << r.output;
    auto source = TestDatabase::open(server.databasePath());
    std::vector<std::string> want = dumpTables(*source), have = dumpTables(*target);
    EXPECT_GT(want.size(), 150u);
    EXPECT_EQ(have, want);
    EXPECT_EQ(auditVerify(target->location()).substr(0, 1), "0");
    // The totals are not carried: the restored orders make them again, equal to their lines.
    EXPECT_EQ(target->query(salesTotalsMismatchSql())[0], "0");
    EXPECT_EQ(target->query("select sum(hs) from xsdhz_rq"), source->query("select sum(hs) from xsdhz_rq"));
    // A line added to the restored database takes a key never used before.
    target->execute("insert into xsdzb (xsdid, chid) values ('XS-NEW', '0100101')");
    EXPECT_GT(std::stol(target->query("select lineid from xsdzb where xsdid = 'XS-NEW'")[0]),
              std::stol(deletedKey));
}

TEST_F(Backups, VerifyFindsAChangedByteAndACutFileAndRestoreRefusesThem) {
    ServerProcess server;
    const std::string file = dir + "/sound.vbak";
    backup(server.databasePath(), file);
    Outcome sound = runServerProgram({"verify", file});
    ASSERT_EQ(sound.status, 0) << sound.output;
    EXPECT_NE(sound.output.find("xsdzb                  70 rows"), std::string::npos) << sound.output;
    EXPECT_NE(sound.output.find("schema version 3"), std::string::npos) << sound.output;

    const auto size = fs::file_size(file);
    fs::copy_file(file, dir + "/flipped.vbak");
    {
        std::FILE* f = std::fopen((dir + "/flipped.vbak").c_str(), "r+b");
        std::fseek(f, static_cast<long>(size / 2), SEEK_SET);
        int c = std::fgetc(f);
        std::fseek(f, static_cast<long>(size / 2), SEEK_SET);
        std::fputc(c ^ 0x20, f);
        std::fclose(f);
    }
    Outcome flipped = runServerProgram({"verify", dir + "/flipped.vbak"});
    EXPECT_EQ(flipped.status, 1);
    EXPECT_NE(flipped.output.find("is damaged"), std::string::npos) << flipped.output;

    fs::copy_file(file, dir + "/cut.vbak");
    fs::resize_file(dir + "/cut.vbak", size - 40);
    Outcome cut = runServerProgram({"verify", dir + "/cut.vbak"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.output.find("truncated"), std::string::npos) << cut.output;

    auto target = TestDatabase::create(dir, dir + "/never.db");
    for (const char* bad : {"/flipped.vbak", "/cut.vbak"}) {
        Outcome r = restore(dir + bad, target->location());
        EXPECT_EQ(r.status, 1) << r.output;
    }
    if (onPostgres())
        EXPECT_EQ(target->query("select count(*) from pg_tables where schemaname = 'public'")[0], "0");
    else
        EXPECT_FALSE(fs::exists(dir + "/never.db"));
}

TEST_F(Backups, ARestoreOverAServedDatabaseIsRefusedAndTheReplacedOneIsKept) {
    ServerProcess server;
    const std::string file = dir + "/before.vbak";
    backup(server.databasePath(), file);
    server.execute("delete from xsdzb");  // the mistake the backup undoes
    Outcome refused = restore(file, server.databasePath());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find(onPostgres() ? "is not empty" : "stop it first"), std::string::npos)
        << refused.output;
    EXPECT_EQ(server.scalar("select count(*) from xsdzb"), "0");  // untouched
    { Client stillServing(server); }
    if (onPostgres()) return;  // a PostgreSQL restore fills a new database, as the next tests do

    server.stop();
    Outcome r = restore(file, server.databasePath());
    ASSERT_EQ(r.status, 0) << r.output;
    size_t kept = r.output.find("kept as ");
    ASSERT_NE(kept, std::string::npos) << r.output;
    std::string keptFile = r.output.substr(kept + 8, r.output.find('\n', kept) - kept - 8);
    EXPECT_NE(keptFile.find(".before-restore-"), std::string::npos);
    EXPECT_EQ(TestDatabase::open(keptFile)->query("select count(*) from xsdzb")[0], "0");
    server.restart();
    EXPECT_EQ(server.scalar("select count(*) from xsdzb"), "70");
    { Client servesTheRestored(server); }
}

TEST_F(Backups, AKilledBackupLeavesNoFileUnderItsNameAndEarlierBackupsIntact) {
    ServerProcess server;
    // Enough lines that the backup is still writing when it is killed.
    server.execute(
        onPostgres()
            ? "insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) select 'B' || (i / 5), "
              "'0100101', '货品' || i, i % 7, 0.5, 3.5 from generate_series(1, 300000) i"
            : "with recursive n(i) as (select 1 union all select i + 1 from n where i < 300000) insert "
              "into xsdzb (xsdid, chid, chname, quantity1, price1, money1) select 'B' || (i / 5), "
              "'0100101', '货品' || i, i % 7, 0.5, 3.5 from n");
    const std::string earlier = dir + "/earlier.vbak";
    backup(server.databasePath(), earlier);
    const std::string final = dir + "/killed.vbak";
    pid_t child = startServerProgram({"backup", "--db", server.databasePath(), "--to", final});
    const std::string partial = final + ".partial-" + std::to_string(child);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(partial) && fs::file_size(partial) > 0; },
                          std::chrono::seconds(60), std::chrono::milliseconds(1)));
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the backup ended before it was killed";
    EXPECT_FALSE(fs::exists(final));
    EXPECT_EQ(runServerProgram({"verify", earlier}).status, 0);
    // The next backup into the folder clears what the killed one left.
    backup(server.databasePath(), dir + "/");
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << entry.path();
}

TEST_F(Backups, TheServersOwnBackupsRotateAndAFailedOneIsRetried) {
    ServerProcess::Options options;
    options.extraArgs = {"--backup-dir", dir + "/auto", "--backup-every", "0.3s", "--backup-keep", "2"};
    ServerProcess server(options);
    auto written = [&] {
        std::string log = server.log();
        size_t n = 0;
        for (size_t at = log.find("backup written: "); at != std::string::npos;
             at = log.find("backup written: ", at + 1))
            ++n;
        return n;
    };
    auto files = [&] {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir + "/auto")) out.push_back(e.path().string());
        return out;
    };
    ASSERT_TRUE(waitUntil([&] { return written() >= 4; }, std::chrono::seconds(60))) << server.log();
    EXPECT_TRUE(logShows(server, "removed the old backup"));
    server.stop();
    std::vector<std::string> kept = files();
    ASSERT_EQ(kept.size(), 2u);
    for (const std::string& f : kept) EXPECT_EQ(runServerProgram({"verify", f}).status, 0) << f;

    ServerProcess::Options failing;
    failing.extraArgs = {"--backup-dir", dir + "/missing/parent", "--backup-every", "0.2s"};
    ServerProcess broken(failing);
    ASSERT_TRUE(waitUntil(
        [&] {
            std::string log = broken.log();
            size_t first = log.find("BACKUP FAILED");
            return first != std::string::npos && log.find("BACKUP FAILED", first + 1) != std::string::npos;
        },
        std::chrono::seconds(30)))
        << broken.log();
    { Client stillServes(broken); }
}

TEST_F(Backups, TheClientTakesAndListsBackupsWithTheRightOnly) {
    ServerProcess::Options options;
    options.extraArgs = {"--backup-dir", dir + "/client"};
    ServerProcess server(options);
    auto admin = loggedIn(server, "管理员", "vantu");
    std::shared_ptr<DispatchAppServer> app = admin->connection.getServer();
    double bytes = 0;
    std::string name = app->TakeBackup(bytes);
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(fs::file_size(dir + "/client/" + name), static_cast<uintmax_t>(bytes));
    EXPECT_EQ(runServerProgram({"verify", dir + "/client/" + name}).status, 0);
    ClientDataSet list("backups");
    list.OpenPacket(app->ListBackups());
    // The server's own first backup at its start may stand beside it; the newest comes first.
    ASSERT_GE(list.RecordCount(), 1);
    EXPECT_EQ(list.FieldByName("name").AsString(), name);
    EXPECT_EQ(list.FieldByName("created").AsString().substr(0, 2), "20");
    EXPECT_EQ(list.FieldByName("size").AsFloat(), bytes);
    EXPECT_TRUE(list.FieldByName("verified").AsBoolean());
    EXPECT_EQ(server.scalar("select count(*) from audit_log where action = 'backup' and recordkey = '" +
                            name + "'"),
              "1");

    auto op = loggedIn(server, "李出纳", "5678");
    std::shared_ptr<DispatchAppServer> opApp = op->connection.getServer();
    EXPECT_NE(refusal([&] { opApp->TakeBackup(bytes); }).find("没有权限：数据备份"), std::string::npos);
    EXPECT_NE(refusal([&] { opApp->ListBackups(); }).find("没有权限：数据备份"), std::string::npos);
    EXPECT_EQ(
        server.scalar("select count(*) from audit_log where action = 'refused' and username = '李出纳'"),
        "2");

    ServerProcess without;
    auto other = loggedIn(without, "管理员", "vantu");
    EXPECT_EQ(refusal([&] { other->connection.getServer()->TakeBackup(bytes); }),
              "服务器未配置备份目录 (no backup-dir is configured)");
}

}  // namespace
}  // namespace velmora::test
