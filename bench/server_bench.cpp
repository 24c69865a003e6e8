// Measures velmora-server with the client's own stack against the database's C API, in one run:
//  (a) opening ClientDataSetxsdview on "select * from xsdview" with 200,000 lines and reading every
//      field of every row as text, against stepping the same query with sqlite3 and reading every
//      column as text;
//  (b) applying 10,000 new orders of 5 lines each as one change packet, against the same inserts
//      through prepared statements in one transaction;
//  (c) 20 connections applying 200 orders each, one order per apply: orders per second, and a
//      count afterwards showing that none was lost or doubled.
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

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/ServerBench.h"
#include "server/PgDatabase.h"
#include "server/SocketServer.h"

using namespace velmora;
using namespace velmora::server;
using namespace velmora::bench;

namespace {

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Inserts orders [first, first + count) with kLinesPerOrder lines each through prepared
// statements in one transaction; returns the seconds it took.
double insertDirect(sqlite3* db, const std::string& prefix, int first, int count) {
    auto start = Clock::now();
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db);
    sqlite3_stmt* header = nullptr;
    sqlite3_stmt* line = nullptr;
    check(sqlite3_prepare_v2(db,
                             "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) "
                             "values (?, 'K001', '华联超市', 'Y01', '张伟', '管理员', '2003-01-15')",
                             -1, &header, nullptr),
          db);
    check(sqlite3_prepare_v2(db,
                             "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) "
                             "values (?, ?, ?, ?, ?, ?, ?, ?)",
                             -1, &line, nullptr),
          db);
    for (int o = first; o < first + count; ++o) {
        std::string id = prefix + std::to_string(o);
        sqlite3_bind_text(header, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        check(sqlite3_step(header), db);
        sqlite3_reset(header);
        for (int l = 0; l < kLinesPerOrder; ++l) {
            const auto& item = kItems[l % 4];
            sqlite3_bind_text(line, 1, id.c_str(), -1, SQLITE_TRANSIENT);
            for (int k = 0; k < 4; ++k) sqlite3_bind_text(line, 2 + k, item[k], -1, SQLITE_STATIC);
            sqlite3_bind_double(line, 6, 1 + l);
            sqlite3_bind_double(line, 7, 12.5);
            sqlite3_bind_double(line, 8, 12.5 * (1 + l));
            check(sqlite3_step(line), db);
            sqlite3_reset(line);
        }
    }
    sqlite3_finalize(header);
    sqlite3_finalize(line);
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

}  // namespace

int runSqlite() {
    char dir[] = "/tmp/velmora-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    std::string path = std::string(dir) + "/bench.db";
    prepareDatabase(path, true);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    check(sqlite3_exec(db, "delete from xsdzb; delete from xsdtb", nullptr, nullptr, nullptr), db);
    insertDirect(db, "L", 0, kLines / kLinesPerOrder);

    ServerOptions options;
    options.listen = "127.0.0.1";
    options.port = 0;
    options.database = path;
    SocketServer server(options);
    std::thread serving([&] { server.run(); });

    // (a) open and walk the view.
    size_t directBytes = 0;
    auto start = Clock::now();
    {
        sqlite3_stmt* s = nullptr;
        check(sqlite3_prepare_v2(db, "select * from xsdview", -1, &s, nullptr), db);
        int columns = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int c = 0; c < columns; ++c) {
                const unsigned char* t = sqlite3_column_text(s, c);
                directBytes += t ? static_cast<size_t>(sqlite3_column_bytes(s, c)) : 0;
            }
        sqlite3_finalize(s);
    }
    double directOpen = seconds(Clock::now() - start);

    size_t ourBytes = 0;
    int rows = 0;
    double ourOpen;
    {
        Client client(server.port());
        ClientDataSet& view = client.module->ClientDataSetxsdview;
        view.setCommandText("select * from xsdview");
        start = Clock::now();
        view.Open();
        int fields = view.FieldCount();
        for (view.First(); !view.Eof(); view.Next(), ++rows)
            for (int f = 0; f < fields; ++f) ourBytes += view.Fields(f).AsString().size();
        ourOpen = seconds(Clock::now() - start);
    }
    if (rows != kLines) {
        std::fprintf(stderr, "read %d rows, expected %d\n", rows, kLines);
        return 1;
    }

    // (b) one change packet of 10,000 orders; best of three rounds on either side.
    double directApply = 1e9, ourApply = 1e9;
    for (int round = 0; round < kApplyRounds; ++round) {
        std::string tag = std::to_string(round);
        directApply = std::min(directApply, insertDirect(db, "D" + tag + "-", 0, kApplyOrders));
        Client client(server.port());
        client.openEmptyOrders();
        for (int o = 0; o < kApplyOrders; ++o)
            appendOrder(*client.module, "A" + tag + "-" + std::to_string(o));
        start = Clock::now();
        int failed = client.module->ClientDataSetxsdtb.ApplyUpdates(-1);
        ourApply = std::min(ourApply, seconds(Clock::now() - start));
        if (failed != 0) {
            std::fprintf(stderr, "%d records failed: %s\n", failed,
                         client.module->ClientDataSetxsdtb.UpdateError().c_str());
            return 1;
        }
    }

    // (c) twenty clients, one order per apply.
    std::atomic<int> failures{0};
    start = Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            try {
                Client client(server.port());
                client.openEmptyOrders();
                for (int o = 0; o < kOrdersPerClient; ++o) {
                    appendOrder(*client.module, "C" + std::to_string(c) + "-" + std::to_string(o));
                    if (client.module->ClientDataSetxsdtb.ApplyUpdates(-1) != 0) ++failures;
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "client %d: %s\n", c, e.what());
                ++failures;
            }
        });
    }
    for (auto& t : clients) t.join();
    double concurrent = seconds(Clock::now() - start);
    int expected = kClients * kOrdersPerClient;
    int stored = std::stoi(scalar(db, "select count(*) from xsdtb where xsdid like 'C%'"));
    int storedLines = std::stoi(scalar(db, "select count(*) from xsdzb where xsdid like 'C%'"));
    int lost = std::abs(expected - stored) + std::abs(expected * kLinesPerOrder - storedLines);

    server.stop();
    serving.join();
    sqlite3_close(db);
    std::string cleanup = std::string("rm -rf ") + dir;
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);

    std::printf("open+walk %d rows: ours %.3f s, sqlite3 %.3f s (%zu / %zu bytes of text)\n", rows, ourOpen,
                directOpen, ourBytes, directBytes);
    std::printf("apply %d orders x %d lines: ours %.3f s, sqlite3 prepared %.3f s\n", kApplyOrders,
                kLinesPerOrder, ourApply, directApply);
    std::printf("%d clients x %d orders: %.2f s, %d failed applies, %d orders stored of %d\n", kClients,
                kOrdersPerClient, concurrent, failures.load(), stored, expected);
    std::printf("RESULT open_ratio=%.2f apply_ratio=%.2f concurrent_orders_per_s=%.0f lost=%d\n",
                ourOpen / directOpen, ourApply / directApply, expected / concurrent, lost);
    return 0;
}

int main(int argc, char** argv) {
    std::string location, reader;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--db" || arg == "--reader-db") && i + 1 < argc) {
            (arg == "--db" ? location : reader) = argv[++i];
        } else {
            std::fprintf(stderr, "usage: server_bench [--db postgresql://... [--reader-db URI]]\n");
            return 2;
        }
    }
    if (location.empty()) return runSqlite();
    if (!isPostgresLocation(location)) {
        std::fprintf(stderr, "--db takes a postgresql:// URI; without it the bench runs on SQLite\n");
        return 2;
    }
    try {
        return runPostgres(location, reader);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server_bench: %s\n", e.what());
        return 1;
    }
}
