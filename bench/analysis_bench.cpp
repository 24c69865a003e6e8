// 经营分析 on a large database: the time from 查询 until the four charts are on screen, for a
// whole range of five years, one year, one month, and a range of years that starts and ends in
// the middle of a month (its ends read from the lines), against the same four statements run
// through the database's own C API in the same run. The server runs in a process of its own on a
// SQLite database of N order lines (default 1,000,000, --lines N), or with --db postgresql://...
// on that database (its product tables are dropped and made afresh); the client runs in this
// process on the offscreen platform, logged in as the administrator. Each figure is the best of
// three. Last line: RESULT <db>_whole_s=.. <db>_whole_ratio=.. <db>_year_s=.. <db>_month_s=..
// <db>_parts_s=..

#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/ProgramEntry.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "bench/LoggedInClient.h"
#include "bench/ServerChild.h"
#include "reports/AnalysisStatement.h"
#include "reports/TFrmjyfx.h"
#include "tests/support/TestLogin.h"
#include "widgets/AppSetup.h"
#include "widgets/MessageService.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 3;
constexpr int kLinesPerOrder = 5;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

// The orders of the bench: five lines each, over the five years 2001 to 2005, for 2,000
// customers, 500 items and 20 salesmen. One order in fifty holds its date as a workstation typed
// it ("2003/1/5"), so the statements read the other formats too.
std::string headerSelect(const std::string& number, const std::string& dateText,
                         const std::string& slashText) {
    return "select 'B' || " + number + ", 'K' || ((" + number + " * 7919) % 2000), '客户' || ((" + number +
           " * 7919) % 2000), 'Y' || (" + number + " % 20), '业务员' || (" + number +
           " % 20), '管理员', case when " + number + " % 50 = 0 then " + slashText + " else " + dateText +
           " end";
}

std::string lineSelect(const std::string& i) {
    return "select 'B' || (" + i + " / 5 + 1), 'C' || ((" + i + " * 31) % 500), '存货' || ((" + i +
           " * 31) % 500), '规格', '个', " + i + " % 9 + 1, 12.5, 12.5 * (" + i + " % 9 + 1)";
}

void fillSqlite(const std::string& path, int lines) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const std::string orders = std::to_string(lines / kLinesPerOrder);
    const std::string day = "date('2001-01-01', '+' || (i % 1826) || ' days')";
    const std::string slash = "cast(strftime('%Y', " + day + ") as integer) || '/' || cast(strftime('%m', " +
                              day + ") as integer) || '/' || cast(strftime('%d', " + day + ") as integer)";
    const std::string sql =
        "begin; delete from xsdzb; delete from xsdtb;"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        orders + ") insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) " +
        headerSelect("i", day, slash) + " from n;" +
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
        std::to_string(lines - 1) +
        ") insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) " +
        lineSelect("i") + " from n; commit; analyze;";
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        fail(std::string("filling the database failed: ") + error);
    sqlite3_close(db);
}

void execPg(PGconn* conn, const std::string& sql) {
    PGresult* r = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    const std::string error = PQresultErrorMessage(r);
    PQclear(r);
    if (!ok) fail(error + " in " + sql.substr(0, 200));
}

void fillPostgres(const std::string& location, int lines) {
    PGconn* conn = PQconnectdb(location.c_str());
    if (PQstatus(conn) != CONNECTION_OK) fail(std::string("cannot connect: ") + PQerrorMessage(conn));
    PQsetClientEncoding(conn, "UTF8");
    execPg(
        conn,
        "SET client_min_messages = warning; DROP VIEW IF EXISTS xsdview; DROP TABLE IF EXISTS xsdzb, "
        "xsdtb, ch, "
        "chfl, kh, ywy, user1, server_logins, resume_tokens, audit_log, audit_head, server_meta, xsdhz_rq, "
        "xsdhz_kh, xsdhz_ch, xsdhz_ywy, xsdhz_pending, xsdhz_flag CASCADE");
    PQfinish(conn);
    server::prepareDatabase(location, true);
    conn = PQconnectdb(location.c_str());
    PQsetClientEncoding(conn, "UTF8");
    const std::string day = "(date '2001-01-01' + (i % 1826))";
    const std::string dateText = "to_char(" + day + ", 'YYYY-MM-DD')";
    const std::string slash = "to_char(" + day + ", 'YYYY/FMMM/FMDD')";
    execPg(conn,
           "begin; delete from xsdzb; delete from xsdtb;"
           "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) " +
               headerSelect("i", dateText, slash) + " from generate_series(1, " +
               std::to_string(lines / kLinesPerOrder) +
               ") i;"
               "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) " +
               lineSelect("i") + " from generate_series(0, " + std::to_string(lines - 1) + ") i; commit");
    execPg(conn, "VACUUM ANALYZE");
    PQfinish(conn);
}

// The four statements of criteria through the database's own C API, every row read.
double directSqlite(const std::string& path, const AnalysisCriteria& c) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    auto start = Clock::now();
    for (const std::string& sql :
         {trendStatement(c), customerStatement(c), itemStatement(c), salesmanStatement(c)}) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(db));
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int col = 0; col < sqlite3_column_count(stmt); ++col) (void)sqlite3_column_text(stmt, col);
        sqlite3_finalize(stmt);
    }
    double took = seconds(start);
    sqlite3_close(db);
    return took;
}

double directPostgres(const std::string& location, const AnalysisCriteria& c) {
    PGconn* conn = PQconnectdb(location.c_str());
    PQsetClientEncoding(conn, "UTF8");
    auto start = Clock::now();
    for (const std::string& sql :
         {trendStatement(c), customerStatement(c), itemStatement(c), salesmanStatement(c)}) {
        PGresult* r = PQexec(conn, sql.c_str());
        if (PQresultStatus(r) != PGRES_TUPLES_OK) fail(PQresultErrorMessage(r));
        PQclear(r);
    }
    double took = seconds(start);
    PQfinish(conn);
    return took;
}

struct Scenario {
    const char* name;
    QDate from, to;
    int grouping;  // the index in 时间分组
};

}  // namespace

int main(int argc, char** argv) {
    int lines = 1000000;
    std::string pg;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--lines") && i + 1 < argc) lines = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--db") && i + 1 < argc) pg = argv[++i];
    }
    char dir[] = "/tmp/velmora-analysis-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string path = std::string(dir) + "/bench.db";
    const std::string location = pg.empty() ? path : pg;
    const char* dbName = pg.empty() ? "sqlite" : "pg";
    auto filling = Clock::now();
    if (pg.empty()) {
        server::prepareDatabase(path, true);
        fillSqlite(path, lines);
    } else {
        fillPostgres(pg, lines);
    }
    std::printf("%d order lines on %s, filled in %.1f s\n", lines, dbName, seconds(filling));

    server::ServerOptions options;
    options.listen = "127.0.0.1";
    options.port = 0;
    options.database = location;
    bench::ServerChild server(options);  // forked before any thread of the client starts

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", dir, 1);
    QApplication app(argc, argv);
    setupApplication(app);
    ProgramEntry entry;
    bench::startLoggedInClient(entry, server.port());
    MainForm->resize(1280, 900);
    MainForm->show();
    MainForm->N20Click();
    TFrmjyfx* window = Frmjyfx;
    QCoreApplication::processEvents();

    const Scenario scenarios[] = {{"whole", QDate(2001, 1, 1), QDate(2005, 12, 31), 1},
                                  {"year", QDate(2003, 1, 1), QDate(2003, 12, 31), 1},
                                  {"month", QDate(2003, 6, 1), QDate(2003, 6, 30), 0},
                                  {"parts", QDate(2002, 3, 15), QDate(2004, 10, 20), 1}};
    std::string result = "RESULT";
    for (const Scenario& s : scenarios) {
        window->dp1->setDate(s.from);
        window->dp2->setDate(s.to);
        window->ComboBox1->setCurrentIndex(s.grouping);
        AnalysisCriteria c{s.from.toString("yyyy-MM-dd").toStdString(),
                           s.to.toString("yyyy-MM-dd").toStdString(),
                           "",
                           "",
                           "",
                           static_cast<TimeGrouping>(s.grouping)};
        double ours = 1e9, direct = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            auto start = Clock::now();
            window->BitBtn1Click();
            QCoreApplication::processEvents();  // the charts painted
            ours = std::min(ours, seconds(start));
            direct = std::min(direct, pg.empty() ? directSqlite(path, c) : directPostgres(pg, c));
        }
        std::printf(
            "%-6s %s to %s: criteria to four charts %.3f s; the four statements directly %.3f s (ratio "
            "%.2f)\n",
            s.name, c.dateFrom.c_str(), c.dateTo.c_str(), ours, direct, ours / direct);
        char figures[160];
        std::snprintf(figures, sizeof figures, " %s_%s_s=%.3f", dbName, s.name, ours);
        result += figures;
        if (!std::strcmp(s.name, "whole")) {
            std::snprintf(figures, sizeof figures, " %s_whole_ratio=%.2f", dbName, ours / direct);
            result += figures;
        }
    }
    entry.destroyAll();
    server.stop();
    std::string cleanup = std::string("rm -rf ") + dir;
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);
    std::printf("%s\n", result.c_str());
    return 0;
}
