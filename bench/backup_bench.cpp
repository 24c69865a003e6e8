// backup_bench: a backup of a database of 200,000 order lines while a writer commits small
// transactions in a loop: the backup's time and size, the writer's longest commit during the
// backup against its longest without one, and the time to restore the backup into a new file.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/BackupJob.h"
#include "server/DatabaseCopy.h"
#include "server/Schema.h"
#include "server/SqliteConnection.h"

using namespace velmora::server;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void fill(const std::string& path, int lines) {
    SqliteConnection db(path, true);
    createSchema(db);
    db.executeScript("with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
                     std::to_string(lines - 1) +
                     ") insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) "
                     "select 'B' || (i / 5), "
                     "'0100101', '货品' || (i % 400), '规格' || (i % 7), '个', i % 17 + 1, 2.5 + i % 9, (i % "
                     "17 + 1) * (2.5 + i % 9) "
                     "from n;"
                     "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
                     std::to_string(lines / 5 - 1) +
                     ") insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, ischeck, rq) "
                     "select 'B' || i, 'K001', "
                     "'客户一', 'Y01', '业务员', '管理员', 0, '2024-01-' || (10 + i % 20) from n;");
}

// Commits one small order line per transaction until stop; the longest commit while measuring.
struct Writer {
    std::atomic<bool> stop{false};
    std::atomic<bool> measuring{false};
    std::atomic<int64_t> longestMicros{0};
    std::atomic<int64_t> commits{0};

    void run(const std::string& path) {
        SqliteConnection db(path, false);
        for (int i = 0; !stop; ++i) {
            auto start = Clock::now();
            db.begin();
            db.execute(
                "insert into xsdzb (xsdid, chid, quantity1, price1, money1) values (?, '0100101', 1, 2, 2)",
                {DbValue::ofText("W" + std::to_string(i))});
            db.commit();
            auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
            if (measuring) {
                int64_t seen = longestMicros.load();
                while (micros > seen && !longestMicros.compare_exchange_weak(seen, micros)) {
                }
                ++commits;
            }
        }
    }
    // The longest commit over span (or while during runs), and the commits made.
    template <typename During>
    std::pair<double, int64_t> measure(During during) {
        longestMicros = 0;
        commits = 0;
        measuring = true;
        during();
        measuring = false;
        return {longestMicros / 1000.0, commits.load()};
    }
};

}  // namespace

int main(int argc, char** argv) {
    int lines = 200000;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--lines")) lines = std::atoi(argv[i + 1]);
    char pattern[] = "/tmp/backup-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string dir = pattern, db = dir + "/bench.db", file = dir + "/bench.vbak";

    auto started = Clock::now();
    fill(db, lines);
    std::printf("database of %d lines: %.1f MB, filled in %.2f s\n", lines,
                static_cast<double>(std::filesystem::file_size(db)) / 1e6, seconds(started));

    Writer writer;
    std::thread thread([&] { writer.run(db); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the first commits' warm-up
    auto [quietLongest, quietCommits] =
        writer.measure([] { std::this_thread::sleep_for(std::chrono::seconds(3)); });
    BackupResult backup;
    auto [busyLongest, busyCommits] = writer.measure([&] { backup = takeBackup(db, file); });
    writer.stop = true;
    thread.join();
    std::printf("backup: %.2f s, %.1f MB, %llu rows\n", backup.seconds,
                static_cast<double>(backup.bytes) / 1e6, static_cast<unsigned long long>(backup.rows));
    std::printf(
        "writer, one line per transaction: longest commit %.1f ms over 3 s without a backup (%lld commits), "
        "%.1f ms during the backup (%lld commits)\n",
        quietLongest, static_cast<long long>(quietCommits), busyLongest, static_cast<long long>(busyCommits));

    started = Clock::now();
    RestoreOutcome restored = restoreBackup(file, dir + "/restored.db", false);
    double restoreSeconds = seconds(started);
    std::printf("restore into a new file: %.2f s, %llu rows\n", restoreSeconds,
                static_cast<unsigned long long>(restored.rows));
    std::printf("RESULT backup_s=%.2f backup_mb=%.1f stall_ms=%.1f quiet_stall_ms=%.1f restore_s=%.2f\n",
                backup.seconds, static_cast<double>(backup.bytes) / 1e6, busyLongest, quietLongest,
                restoreSeconds);
    std::filesystem::remove_all(dir);
    return 0;
}
