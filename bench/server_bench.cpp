// Measures velmora-server with the client's own stack against the database's C API, in one run:
//  (a) opening ClientDataSetxsdview on "select * from xsdview" with 200,000 lines and reading every
//      field of every row as text, against stepping the same query with sqlite3 and reading every
//      column as text;
//  (b) applying 10,000 new orders of 5 lines each as one change packet, against the same inserts
//      through prepared statements in one transaction;
//  (c) 1,000 orders saved one by one as the invoicing window saves them (the duplicate-number
//      query, then header and lines in one apply): latency p50 and p99, against the same
//      statements run directly by SQLite in one transaction each;
//  (d) 20 connections applying 200 orders each, one order per apply: orders per second, and a
//      count afterwards showing that none was lost or doubled;
//  (e) the audit trail's cost: orders saved one by one as in (c), and 10,000 orders in one
//      packet as in (b), each alternately through this server and through a second one on the
//      same database whose applies write no audit rows (a setting only code reaches);
//  (f) what TLS costs, on a server with TLS allowed: (a) over TLS against in the clear, and a
//      login from connect with the password hash's own cost excluded (server_bench_tls.cpp);
//  and the client's resident memory before opening (a), with it open, and after closing it.
// Both sides run at the same durability: --durability full (default) or normal, the server's
// option of that name and the matching PRAGMA synchronous on the direct connection.
// Next to last line: RESULT tls_open_ratio=.. tls_login_ms=..
// Last line: RESULT open_ratio=.. apply_ratio=.. save_p50_ratio=.. save_p99_ms=..
//            concurrent_orders_per_s=.. lost=.. audit_apply_ratio=.. audit_bulk_ratio=..
//            durability=full|normal
// --lines N opens the view on N lines instead of 200,000; --only apply|save|audit repeats one
// measurement and prints its times (for a profiler); --only tls runs (f) alone.
// --busy-core measures (a), (b) and (c) once more, both sides, while a process of the bench's own
// spins on one CPU (with --only: that one measurement, beside the spinner throughout); its line
// comes before the TLS one: RESULT busy_open_ratio=.. busy_apply_ratio=.. busy_save_p50_ratio=..
// The server runs in this process, on its own threads, behind real TCP sockets, on a database
// that holds the demo users (every client logs in) and none of the demo orders.
//
// server_bench --db postgresql://... [--reader-db URI] runs the same on PostgreSQL, against libpq:
// (a) against fetching the same query as text, the whole result at once (best of three on either
// side); (b) against prepared inserts in one transaction, pipelined; (c) with two servers on the
// database, ten clients each.
// The URI names a database of the bench's own, empty or left by an earlier run: the bench drops
// the product's tables in it and creates them afresh. --reader-db is the servers' option of that
// name (default: the same URI with the user velmora_reader). Its last line then reads
// RESULT pg_open_ratio=... pg_apply_ratio=... pg_concurrent_orders_per_s=... pg_lost=...
// With --busy-core, (a) and (b) once more beside the spinner, on the line before it:
// RESULT busy_pg_open_ratio=... busy_pg_apply_ratio=...

#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill is POSIX
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BusyCore.h"
#include "bench/Resident.h"
#include "bench/ServerBench.h"
#include "bench/ServerChild.h"
#include "server/PgConnection.h"
#include "server/SocketServer.h"

using namespace velmora;
using namespace velmora::server;
using namespace velmora::bench;

namespace {

// What the audit trail costs: seconds with it and without it.
struct AuditCost {
    double saveWith = 0, saveWithout = 0;      // p50 of one order saved as the invoicing window saves it
    double bulkWith = 1e9, bulkWithout = 1e9;  // best of one packet of many orders
};

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// The order every direct run stores, through prepared statements: insert() writes one order with
// its lines inside the caller's transaction; save() is one order as the invoicing window's
// statements would run without the server: the duplicate check, the header and its lines, in one
// transaction.
class DirectOrders {
  public:
    explicit DirectOrders(sqlite3* db) : db_(db) {
        check(sqlite3_prepare_v2(db, "select * from xsdtb where xsdid = ?", -1, &find_, nullptr), db);
        check(sqlite3_prepare_v2(db,
                                 "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) "
                                 "values (?, 'K001', '华联超市', 'Y01', '张伟', '管理员', '2003-01-15')",
                                 -1, &header_, nullptr),
              db);
        check(sqlite3_prepare_v2(db,
                                 "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, "
                                 "money1) values (?, ?, ?, ?, ?, ?, ?, ?)",
                                 -1, &line_, nullptr),
              db);
    }
    ~DirectOrders() {
        sqlite3_finalize(find_);
        sqlite3_finalize(header_);
        sqlite3_finalize(line_);
    }
    DirectOrders(const DirectOrders&) = delete;
    DirectOrders& operator=(const DirectOrders&) = delete;

    void insert(const std::string& id) {
        sqlite3_bind_text(header_, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        check(sqlite3_step(header_), db_);
        sqlite3_reset(header_);
        for (int l = 0; l < kLinesPerOrder; ++l) {
            const auto& item = kItems[l % 4];
            sqlite3_bind_text(line_, 1, id.c_str(), -1, SQLITE_TRANSIENT);
            for (int k = 0; k < 4; ++k) sqlite3_bind_text(line_, 2 + k, item[k], -1, SQLITE_STATIC);
            sqlite3_bind_double(line_, 6, 1 + l);
            sqlite3_bind_double(line_, 7, 12.5);
            sqlite3_bind_double(line_, 8, 12.5 * (1 + l));
            check(sqlite3_step(line_), db_);
            sqlite3_reset(line_);
        }
    }

    void save(const std::string& id) {
        check(sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db_);
        sqlite3_bind_text(find_, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(find_) == SQLITE_ROW) std::exit(1);  // a fresh number is never taken
        sqlite3_reset(find_);
        insert(id);
        check(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr), db_);
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* find_ = nullptr;
    sqlite3_stmt* header_ = nullptr;
    sqlite3_stmt* line_ = nullptr;
};

// Inserts orders [first, first + count) with kLinesPerOrder lines each through prepared
// statements in one transaction; returns the seconds it took.
double insertDirect(sqlite3* db, const std::string& prefix, int first, int count) {
    auto start = Clock::now();
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db);
    {
        DirectOrders orders(db);
        for (int o = first; o < first + count; ++o) orders.insert(prefix + std::to_string(o));
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    return seconds(Clock::now() - start);
}

std::string scalar(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db);
    std::string out =
        sqlite3_step(s) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
    sqlite3_finalize(s);
    return out;
}

// (a) once: seconds on either side, what was read, and the client's memory around it.
struct OpenFigures {
    double ours = 0, direct = 0;
    int rows = 0;
    size_t ourBytes = 0, directBytes = 0;
    double rssBefore = 0, rssOpen = 0, rssClosed = 0;
};

// (a), (b) and (c) measured beside a busy core.
struct BusyFigures {
    OpenFigures open;
    double ourApply = 0, directApply = 0;
    std::vector<double> ourSaves, directSaves;
};

void printBusy(const BusyFigures& busy) {
    double ourP50 = percentile(busy.ourSaves, 0.5), directP50 = percentile(busy.directSaves, 0.5);
    std::printf(
        "with one core busy: open+walk ours %.3f s, sqlite3 %.3f s; apply ours %.3f s, sqlite3 %.3f s; "
        "save p50 ours %.2f ms, sqlite3 %.2f ms\n",
        busy.open.ours, busy.open.direct, busy.ourApply, busy.directApply, ourP50 * 1e3, directP50 * 1e3);
    std::printf("RESULT busy_open_ratio=%.2f busy_apply_ratio=%.2f busy_save_p50_ratio=%.2f\n",
                busy.open.ours / busy.open.direct, busy.ourApply / busy.directApply, ourP50 / directP50);
}

}  // namespace

struct SqliteRun {
    bool busyCore = false;  // (a), (b) and (c) once more beside a busy core
    Durability durability = Durability::Full;
    std::string only;    // empty: every measurement once
    int lines = kLines;  // order lines the view is opened on
};

int runSqlite(const SqliteRun& run) {
    char dir[] = "/tmp/velmora-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    std::string path = std::string(dir) + "/bench.db";
    prepareDatabase(path, true);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    const bool full = run.durability == Durability::Full;
    check(sqlite3_exec(db, full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL", nullptr, nullptr,
                       nullptr),
          db);
    check(sqlite3_exec(db, "delete from xsdzb; delete from xsdtb", nullptr, nullptr, nullptr), db);
    insertDirect(db, "L", 0, run.lines / kLinesPerOrder);

    ServerOptions options;
    options.listen = "127.0.0.1";
    options.port = 0;
    options.database = path;
    options.durability = run.durability;
    // Every client logs in as the same user, all at once, from one address.
    options.maxConnectionsPerUser = kClients;
    options.maxLoginConnectionsPerAddress = kClients;
    ServerChild server(options);
    auto finish = [&] {
        server.stop();
        sqlite3_close(db);
        std::string cleanup = std::string("rm -rf ") + dir;
        if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);
    };
    int rounds = run.only.empty() ? kApplyRounds : 20;

    // (b) one change packet of 10,000 orders; best of the rounds on either side. prefix keeps
    // the order numbers of one measurement apart from another's.
    auto measureApply = [&](double& directApply, double& ourApply, const std::string& prefix) {
        directApply = 1e9;
        ourApply = 1e9;
        for (int round = 0; round < rounds; ++round) {
            std::string tag = prefix + std::to_string(round);
            directApply = std::min(directApply, insertDirect(db, "D" + tag + "-", 0, kApplyOrders));
            Client client(server.port());
            client.openEmptyOrders();
            for (int o = 0; o < kApplyOrders; ++o)
                appendOrder(*client.module, "A" + tag + "-" + std::to_string(o));
            auto start = Clock::now();
            int failed = client.module->ClientDataSetxsdtb.ApplyUpdates(-1);
            double took = seconds(Clock::now() - start);
            ourApply = std::min(ourApply, took);
            if (run.only == "apply") std::printf("apply round %d: ours %.3f s\n", round, took);
            if (failed != 0) {
                std::fprintf(stderr, "%d records failed: %s\n", failed,
                             client.module->ClientDataSetxsdtb.UpdateError().c_str());
                std::exit(1);
            }
        }
    };

    // (c) orders saved one at a time, as the invoicing window saves them.
    auto measureSave = [&](std::vector<double>& direct, std::vector<double>& ours, const std::string& tag) {
        DirectOrders directSave(db);
        measureSaves(
            server.port(), tag, [&](const std::string& id) { directSave.save(id); }, direct, ours);
    };

    std::optional<BusyCore> busyAll;  // a single measurement runs beside the busy core throughout
    if (run.busyCore && !run.only.empty()) busyAll.emplace();
    if (run.only == "apply") {
        double directApply = 0, ourApply = 0;
        measureApply(directApply, ourApply, "");
        std::printf("apply: best ours %.3f s, sqlite3 prepared %.3f s, ratio %.2f\n", ourApply, directApply,
                    ourApply / directApply);
        finish();
        return 0;
    }
    // (e) the same saves and applies through a server that writes no audit rows, alternating.
    auto measureAudit = [&] {
        ServerOptions plainOptions = options;
        plainOptions.query.auditApplies = false;
        ServerChild plain(plainOptions);
        AuditCost cost;
        std::vector<double> with, without;
        Client audited(server.port()), unaudited(plain.port());
        audited.openEmptyOrders();
        unaudited.openEmptyOrders();
        for (int o = 0; o < kAuditSaves; ++o) {
            for (bool trail : {o % 2 == 0, o % 2 != 0}) {
                Client& client = trail ? audited : unaudited;
                std::string id = (trail ? "EW" : "EN") + std::to_string(o);
                appendOrder(*client.module, id);
                auto start = Clock::now();
                saveAsWindow(client, id);
                (trail ? with : without).push_back(seconds(Clock::now() - start));
            }
        }
        cost.saveWith = percentile(with, 0.5);
        cost.saveWithout = percentile(without, 0.5);
        for (int round = 0; round < (run.only.empty() ? kApplyRounds : 6); ++round) {
            for (bool trail : {round % 2 == 0, round % 2 != 0}) {
                Client client(trail ? server.port() : plain.port());
                client.openEmptyOrders();
                for (int o = 0; o < kApplyOrders; ++o)
                    appendOrder(*client.module,
                                (trail ? "BW" : "BN") + std::to_string(round) + "-" + std::to_string(o));
                auto start = Clock::now();
                if (client.module->ClientDataSetxsdtb.ApplyUpdates(-1) != 0) std::exit(1);
                double took = seconds(Clock::now() - start);
                double& best = trail ? cost.bulkWith : cost.bulkWithout;
                best = std::min(best, took);
            }
        }
        plain.stop();
        return cost;
    };
    if (run.only == "audit") {
        AuditCost cost = measureAudit();
        std::printf(
            "audit: one order p50 %.3f ms with, %.3f ms without; %d orders %.3f s with, %.3f s without\n",
            cost.saveWith * 1e3, cost.saveWithout * 1e3, kApplyOrders, cost.bulkWith, cost.bulkWithout);
        finish();
        return 0;
    }
    if (run.only == "tls") {
        std::optional<TlsCost> cost = measureTls(options, dir, run.lines);
        finish();
        if (!cost) return 1;
        printTlsCost(*cost);
        return 0;
    }
    if (run.only == "save") {
        std::vector<double> direct, ours;
        for (int round = 0; round < rounds; ++round)
            measureSave(direct, ours, "S" + std::to_string(round) + "-");
        std::printf("save: p50 ours %.3f ms, sqlite3 %.3f ms\n", percentile(ours, 0.5) * 1e3,
                    percentile(direct, 0.5) * 1e3);
        finish();
        return 0;
    }

    // (a) open and walk the view, and the memory it takes and gives back.
    auto measureOpen = [&] {
        OpenFigures f;
        auto start = Clock::now();
        {
            sqlite3_stmt* s = nullptr;
            check(sqlite3_prepare_v2(db, "select * from xsdview", -1, &s, nullptr), db);
            int columns = sqlite3_column_count(s);
            while (sqlite3_step(s) == SQLITE_ROW)
                for (int c = 0; c < columns; ++c) {
                    const unsigned char* t = sqlite3_column_text(s, c);
                    f.directBytes += t ? static_cast<size_t>(sqlite3_column_bytes(s, c)) : 0;
                }
            sqlite3_finalize(s);
        }
        f.direct = seconds(Clock::now() - start);

        Client client(server.port());
        ClientDataSet& view = client.module->ClientDataSetxsdview;
        view.setCommandText("select * from xsdview");
        f.rssBefore = residentMb();
        start = Clock::now();
        view.Open();
        int fields = view.FieldCount();
        for (view.First(); !view.Eof(); view.Next(), ++f.rows)
            for (int field = 0; field < fields; ++field) f.ourBytes += view.Fields(field).AsString().size();
        f.ours = seconds(Clock::now() - start);
        f.rssOpen = residentMb();
        view.Close();
        f.rssClosed = residentMb();
        return f;
    };
    // Each measurement is taken beside the busy core right after its quiet run, while the
    // database holds the same rows.
    OpenFigures open = measureOpen();
    BusyFigures busy;
    if (run.busyCore) {
        BusyCore hog;
        busy.open = measureOpen();
    }
    for (int rows : {open.rows, run.busyCore ? busy.open.rows : run.lines})
        if (rows != run.lines) {
            std::fprintf(stderr, "read %d rows, expected %d\n", rows, run.lines);
            return 1;
        }

    double directApply = 0, ourApply = 0;
    measureApply(directApply, ourApply, "");
    if (run.busyCore) {
        BusyCore hog;
        measureApply(busy.directApply, busy.ourApply, "b");
    }

    std::vector<double> directSaves, ourSaves;
    measureSave(directSaves, ourSaves, "S-");
    if (run.busyCore) {
        BusyCore hog;
        measureSave(busy.directSaves, busy.ourSaves, "SB-");
    }

    // (d) twenty clients, one order per apply.
    std::atomic<int> failures{0};
    double concurrent = runConcurrentClients([&](int) { return server.port(); }, failures);
    int expected = kClients * kOrdersPerClient;
    int stored = std::stoi(scalar(db, "select count(*) from xsdtb where xsdid like 'C%'"));
    int storedLines = std::stoi(scalar(db, "select count(*) from xsdzb where xsdid like 'C%'"));
    int lost = std::abs(expected - stored) + std::abs(expected * kLinesPerOrder - storedLines);
    AuditCost audit = measureAudit();
    // Last, as it leaves the administrator's password at the cheapest hash.
    std::optional<TlsCost> tls = measureTls(options, dir, run.lines);
    finish();
    if (!tls) return 1;

    double ourP50 = percentile(ourSaves, 0.5), directP50 = percentile(directSaves, 0.5);
    std::printf("open+walk %d rows: ours %.3f s, sqlite3 %.3f s (%zu / %zu bytes of text)\n", open.rows,
                open.ours, open.direct, open.ourBytes, open.directBytes);
    std::printf(
        "client memory: %.0f MB before the open, %.0f MB open, %.0f MB after closing (%+.1f MB kept)\n",
        open.rssBefore, open.rssOpen, open.rssClosed, open.rssClosed - open.rssBefore);
    std::printf("apply %d orders x %d lines: ours %.3f s, sqlite3 prepared %.3f s\n", kApplyOrders,
                kLinesPerOrder, ourApply, directApply);
    std::printf("save %d orders one by one: ours p50 %.2f ms p99 %.2f ms, sqlite3 p50 %.2f ms p99 %.2f ms\n",
                kSaves, ourP50 * 1e3, percentile(ourSaves, 0.99) * 1e3, directP50 * 1e3,
                percentile(directSaves, 0.99) * 1e3);
    std::printf("%d clients x %d orders: %.2f s, %d failed applies, %d orders stored of %d\n", kClients,
                kOrdersPerClient, concurrent, failures.load(), stored, expected);
    std::printf(
        "audit trail: %d orders in one apply %.3f s with, %.3f s without; one order per apply p50 "
        "%.2f ms with, %.2f ms without\n",
        kApplyOrders, audit.bulkWith, audit.bulkWithout, audit.saveWith * 1e3, audit.saveWithout * 1e3);
    if (run.busyCore) printBusy(busy);
    printTlsCost(*tls);
    std::printf(
        "RESULT open_ratio=%.2f apply_ratio=%.2f save_p50_ratio=%.2f save_p99_ms=%.2f "
        "concurrent_orders_per_s=%.0f lost=%d audit_apply_ratio=%.2f audit_bulk_ratio=%.2f durability=%s\n",
        open.ours / open.direct, ourApply / directApply, ourP50 / directP50, percentile(ourSaves, 0.99) * 1e3,
        expected / concurrent, lost, audit.saveWith / audit.saveWithout, audit.bulkWith / audit.bulkWithout,
        full ? "full" : "normal");
    return 0;
}

int main(int argc, char** argv) {
    std::string location, reader;
    SqliteRun run;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string next = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--busy-core") {
            run.busyCore = true;
        } else if ((arg == "--db" || arg == "--reader-db") && i + 1 < argc) {
            (arg == "--db" ? location : reader) = argv[++i];
        } else if (arg == "--durability" && (next == "full" || next == "normal")) {
            run.durability = next == "full" ? Durability::Full : Durability::Normal;
            ++i;
        } else if (arg == "--lines" && std::atoi(next.c_str()) >= kLinesPerOrder) {
            run.lines = std::atoi(next.c_str());
            ++i;
        } else if (arg == "--only" &&
                   (next == "apply" || next == "save" || next == "audit" || next == "tls")) {
            run.only = next;
            ++i;
        } else {
            std::fprintf(
                stderr,
                "usage: server_bench [--busy-core] [--durability full|normal] [--lines N] [--only "
                "apply|save|audit|tls]\n"
                "       server_bench --db postgresql://... [--reader-db URI] [--busy-core] [--lines N]\n");
            return 2;
        }
    }
    if (location.empty()) return runSqlite(run);
    if (!isPostgresLocation(location)) {
        std::fprintf(stderr, "--db takes a postgresql:// URI; without it the bench runs on SQLite\n");
        return 2;
    }
    try {
        return runPostgres(location, reader, run.lines, run.busyCore);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server_bench: %s\n", e.what());
        return 1;
    }
}
