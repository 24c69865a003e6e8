// server_bench's PostgreSQL run (see server_bench.cpp): the same four measurements (open, apply,
// one-order saves, concurrent clients), with libpq as the baseline and two servers on one database
// for the concurrent clients; with a busy core, the first two once more beside it.

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/BusyCore.h"
#include "bench/ServerBench.h"
#include "server/PgConnection.h"
#include "server/SocketServer.h"

namespace velmora::bench {

namespace {

using server::ServerOptions;
using server::SocketServer;

constexpr const char* kDropProductTables =
    "SET client_min_messages = warning;"
    "DROP VIEW IF EXISTS xsdview;"
    "DROP TABLE IF EXISTS xsdzb, xsdtb, ch, chfl, kh, ywy, user1, server_logins, resume_tokens, audit_log, "
    "audit_head CASCADE";

constexpr const char* kHeaderInsert =
    "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) "
    "values ($1, 'K001', '华联超市', 'Y01', '张伟', '管理员', '2003-01-15')";
constexpr const char* kLineInsert =
    "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) "
    "values ($1, $2, $3, $4, $5, $6, $7, $8)";

// Statements sent before the pipeline waits for their results: large enough that the round
// trips vanish, small enough that neither side's socket buffer fills while the other writes.
constexpr int kPipelineBatch = 1000;

// A libpq connection of the bench's own; any failure ends the run with the server's message.
class Direct {
  public:
    explicit Direct(const std::string& location) : conn_(PQconnectdb(location.c_str())) {
        if (PQstatus(conn_) != CONNECTION_OK) fail("cannot connect");
        PQsetClientEncoding(conn_, "UTF8");
    }
    ~Direct() { PQfinish(conn_); }
    Direct(const Direct&) = delete;
    Direct& operator=(const Direct&) = delete;

    void exec(const std::string& sql) {
        PGresult* r = PQexec(conn_, sql.c_str());
        bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
        if (!ok) fail(sql);
    }

    long long count(const std::string& sql) {
        PGresult* r = PQexec(conn_, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK || PQntuples(r) != 1) {
            PQclear(r);
            fail(sql);
        }
        long long n = std::stoll(PQgetvalue(r, 0, 0));
        PQclear(r);
        return n;
    }

    // Fetches the whole result of sql as text and reads every value; returns its bytes of text.
    size_t readAll(const std::string& sql, int& rows) {
        PGresult* r = PQexec(conn_, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            PQclear(r);
            fail(sql);
        }
        size_t bytes = 0;
        rows = PQntuples(r);
        int columns = PQnfields(r);
        for (int row = 0; row < rows; ++row)
            for (int c = 0; c < columns; ++c) {
                if (!PQgetisnull(r, row, c) && PQgetvalue(r, row, c))
                    bytes += static_cast<size_t>(PQgetlength(r, row, c));
            }
        PQclear(r);
        return bytes;
    }

    // Inserts orders [first, first + count) with kLinesPerOrder lines each in one transaction,
    // through prepared statements sent in a pipeline; returns the seconds it took.
    double insertOrders(const std::string& prefix, int first, int count) {
        auto start = Clock::now();
        if (!PQenterPipelineMode(conn_)) fail("pipeline mode");
        int pending = 0;
        auto send = [&](int ok) {
            if (!ok) fail("sending a statement");
            if (++pending >= kPipelineBatch) drain(pending);
        };
        send(PQsendQueryParams(conn_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0));
        send(PQsendPrepare(conn_, "bench_header", kHeaderInsert, 1, nullptr));
        send(PQsendPrepare(conn_, "bench_line", kLineInsert, 8, nullptr));
        for (int o = first; o < first + count; ++o) {
            std::string id = prefix + std::to_string(o);
            const char* header[] = {id.c_str()};
            send(PQsendQueryPrepared(conn_, "bench_header", 1, header, nullptr, nullptr, 0));
            for (int l = 0; l < kLinesPerOrder; ++l) {
                const auto& item = kItems[l % 4];
                std::string quantity = std::to_string(1 + l), money = std::to_string(12.5 * (1 + l));
                const char* line[] = {id.c_str(), item[0],          item[1], item[2],
                                      item[3],    quantity.c_str(), "12.5",  money.c_str()};
                send(PQsendQueryPrepared(conn_, "bench_line", 8, line, nullptr, nullptr, 0));
            }
        }
        send(PQsendQueryParams(conn_, "DEALLOCATE ALL", 0, nullptr, nullptr, nullptr, nullptr, 0));
        savePrepared_ = false;
        send(PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0));
        drain(pending);
        if (!PQexitPipelineMode(conn_)) fail("leaving pipeline mode");
        return seconds(Clock::now() - start);
    }

    // One order as the invoicing window's statements would run without the server: the
    // duplicate-number check, awaited, then the header and its lines in one transaction, prepared
    // and sent in one round trip.
    void saveOrder(const std::string& id) {
        if (!savePrepared_) {
            prepare("bench_find", "select * from xsdtb where xsdid = $1", 1);
            prepare("bench_save_header", kHeaderInsert, 1);
            prepare("bench_save_line", kLineInsert, 8);
            savePrepared_ = true;
        }
        const char* key[] = {id.c_str()};
        PGresult* found = PQexecPrepared(conn_, "bench_find", 1, key, nullptr, nullptr, 0);
        bool fresh = PQresultStatus(found) == PGRES_TUPLES_OK && PQntuples(found) == 0;
        PQclear(found);
        if (!fresh) fail("the number " + id + " is taken");
        if (!PQenterPipelineMode(conn_)) fail("pipeline mode");
        int pending = 0;
        auto send = [&](int ok) {
            if (!ok) fail("sending a statement");
            ++pending;
        };
        send(PQsendQueryParams(conn_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0));
        send(PQsendQueryPrepared(conn_, "bench_save_header", 1, key, nullptr, nullptr, 0));
        for (int l = 0; l < kLinesPerOrder; ++l) {
            const auto& item = kItems[l % 4];
            std::string quantity = std::to_string(1 + l), money = std::to_string(12.5 * (1 + l));
            const char* line[] = {id.c_str(), item[0],          item[1], item[2],
                                  item[3],    quantity.c_str(), "12.5",  money.c_str()};
            send(PQsendQueryPrepared(conn_, "bench_save_line", 8, line, nullptr, nullptr, 0));
        }
        send(PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0));
        drain(pending);
        if (!PQexitPipelineMode(conn_)) fail("leaving pipeline mode");
    }

  private:
    void prepare(const char* name, const char* sql, int parameters) {
        PGresult* r = PQprepare(conn_, name, sql, parameters, nullptr);
        bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        if (!ok) fail(std::string("preparing ") + name);
    }

    // Ends the statements sent so far with a sync and reads every result up to it.
    void drain(int& pending) {
        if (!PQpipelineSync(conn_)) fail("sync");
        for (;;) {
            PGresult* r = PQgetResult(conn_);
            if (!r) {  // the end of one statement's results
                if (PQstatus(conn_) != CONNECTION_OK) fail("the connection broke");
                continue;
            }
            ExecStatusType status = PQresultStatus(r);
            PQclear(r);
            if (status == PGRES_PIPELINE_SYNC) break;
            if (status != PGRES_COMMAND_OK) fail("a pipelined statement");
        }
        pending = 0;
    }

    [[noreturn]] void fail(const std::string& what) {
        std::string message = PQerrorMessage(conn_);
        throw std::runtime_error(what + ": " + message);
    }

    PGconn* conn_;
    bool savePrepared_ = false;  // insertOrders deallocates every prepared statement
};

}  // namespace

int runPostgres(const std::string& location, const std::string& reader, int lines, bool busyCore) {
    Direct db(location);
    db.exec(kDropProductTables);
    server::prepareDatabase(location, true);  // the schema, and the demo users the clients log in as
    db.exec("delete from xsdzb; delete from xsdtb");
    db.insertOrders("L", 0, lines / kLinesPerOrder);
    db.exec("VACUUM ANALYZE");  // both sides read settled pages with fresh statistics

    ServerOptions options;
    options.listen = "127.0.0.1";
    options.port = 0;
    options.database = location;
    options.readerDatabase = reader;
    // Every client logs in as the same user, all at once, from one address.
    options.maxConnectionsPerUser = kClients;
    options.maxLoginConnectionsPerAddress = kClients;
    SocketServer first(options), second(options);
    std::thread servingFirst([&] { first.run(); });
    std::thread servingSecond([&] { second.run(); });
    auto stopServers = [&] {
        first.stop();
        second.stop();
        servingFirst.join();
        servingSecond.join();
    };

    // (a) open and walk the view; best of three on either side.
    const std::string view = "select * from xsdview";
    struct Open {
        double direct = 1e9, ours = 1e9;
        size_t directBytes = 0, ourBytes = 0;
        int directRows = 0, rows = 0;
    };
    auto measureOpen = [&] {
        Open f;
        for (int round = 0; round < kApplyRounds; ++round) {
            auto start = Clock::now();
            f.directBytes = db.readAll(view, f.directRows);
            f.direct = std::min(f.direct, seconds(Clock::now() - start));

            Client client(first.port());
            ClientDataSet& data = client.module->ClientDataSetxsdview;
            data.setCommandText(view);
            start = Clock::now();
            data.Open();
            int fields = data.FieldCount();
            f.ourBytes = 0;
            f.rows = 0;
            for (data.First(); !data.Eof(); data.Next(), ++f.rows)
                for (int field = 0; field < fields; ++field)
                    f.ourBytes += data.Fields(field).AsString().size();
            f.ours = std::min(f.ours, seconds(Clock::now() - start));
        }
        if (f.rows != lines || f.directRows != lines)
            throw std::runtime_error("read " + std::to_string(f.rows) + " rows (libpq " +
                                     std::to_string(f.directRows) + "), expected " + std::to_string(lines));
        return f;
    };

    // (b) one change packet of 10,000 orders; best of three rounds on either side. prefix keeps
    // the order numbers of one measurement apart from another's.
    auto measureApply = [&](double& directApply, double& ourApply, const std::string& prefix) {
        directApply = 1e9;
        ourApply = 1e9;
        for (int round = 0; round < kApplyRounds; ++round) {
            std::string tag = prefix + std::to_string(round);
            directApply = std::min(directApply, db.insertOrders("D" + tag + "-", 0, kApplyOrders));
            Client client(first.port());
            client.openEmptyOrders();
            for (int o = 0; o < kApplyOrders; ++o)
                appendOrder(*client.module, "A" + tag + "-" + std::to_string(o));
            auto start = Clock::now();
            int failed = client.module->ClientDataSetxsdtb.ApplyUpdates(-1);
            ourApply = std::min(ourApply, seconds(Clock::now() - start));
            if (failed != 0)
                throw std::runtime_error(std::to_string(failed) + " records failed: " +
                                         client.module->ClientDataSetxsdtb.UpdateError());
        }
    };

    // (c) orders saved one at a time, as the invoicing window saves them, alternating sides.
    std::vector<double> directSaves, ourSaves;
    auto measureSave = [&] {
        measureSaves(
            first.port(), "S-", [&](const std::string& id) { db.saveOrder(id); }, directSaves, ourSaves);
    };

    Open open, busyOpen;
    double directApply = 0, ourApply = 0, busyDirectApply = 0, busyOurApply = 0;
    try {
        // Each beside the busy core right after its quiet run, while the database holds the same rows.
        open = measureOpen();
        if (busyCore) {
            BusyCore hog;
            busyOpen = measureOpen();
        }
        measureApply(directApply, ourApply, "");
        if (busyCore) {
            BusyCore hog;
            measureApply(busyDirectApply, busyOurApply, "b");
        }
        measureSave();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        stopServers();
        return 1;
    }

    // (d) twenty clients, half on either server, one order per apply.
    std::atomic<int> failures{0};
    double concurrent =
        runConcurrentClients([&](int c) { return c % 2 ? second.port() : first.port(); }, failures);
    stopServers();

    long long expected = kClients * kOrdersPerClient;
    long long stored = db.count("select count(*) from xsdtb where xsdid like 'C%'");
    long long storedLines = db.count("select count(*) from xsdzb where xsdid like 'C%'");
    long long lost = std::llabs(expected - stored) + std::llabs(expected * kLinesPerOrder - storedLines);
    db.exec("truncate xsdzb, xsdtb");  // the orders are the bench's; the schema and users stay

    std::printf("open+walk %d rows: ours %.3f s, libpq %.3f s (%zu / %zu bytes of text)\n", open.rows,
                open.ours, open.direct, open.ourBytes, open.directBytes);
    std::printf("apply %d orders x %d lines: ours %.3f s, libpq prepared and pipelined %.3f s\n",
                kApplyOrders, kLinesPerOrder, ourApply, directApply);
    double ourP50 = percentile(ourSaves, 0.5), directP50 = percentile(directSaves, 0.5);
    std::printf("save %d orders one by one: ours p50 %.2f ms p99 %.2f ms, libpq p50 %.2f ms p99 %.2f ms\n",
                kSaves, ourP50 * 1e3, percentile(ourSaves, 0.99) * 1e3, directP50 * 1e3,
                percentile(directSaves, 0.99) * 1e3);
    std::printf(
        "%d clients on 2 servers x %d orders: %.2f s, %d failed applies, %lld orders stored of %lld\n",
        kClients, kOrdersPerClient, concurrent, failures.load(), stored, expected);
    if (busyCore) {
        std::printf(
            "with one core busy: open+walk ours %.3f s, libpq %.3f s; apply ours %.3f s, libpq %.3f s\n",
            busyOpen.ours, busyOpen.direct, busyOurApply, busyDirectApply);
        std::printf("RESULT busy_pg_open_ratio=%.2f busy_pg_apply_ratio=%.2f\n",
                    busyOpen.ours / busyOpen.direct, busyOurApply / busyDirectApply);
    }
    std::printf(
        "RESULT pg_open_ratio=%.2f pg_apply_ratio=%.2f pg_save_p50_ratio=%.2f pg_save_p99_ms=%.2f "
        "pg_concurrent_orders_per_s=%.0f pg_lost=%lld\n",
        open.ours / open.direct, ourApply / directApply, ourP50 / directP50, percentile(ourSaves, 0.99) * 1e3,
        expected / concurrent, lost);
    return 0;
}

}  // namespace velmora::bench
