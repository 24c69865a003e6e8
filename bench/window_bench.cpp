// The client's windows on a large database: for each window, the client's resident memory before
// it opens, while it is open and after it closed, and how long it takes to open; for 销售单列表,
// the time from 确定 until its rows are on screen. The server runs in a process of its own on a
// SQLite database of N order lines (default 200,000, --lines N), the client in this process on the
// offscreen platform, logged in as the administrator.
// Last line: RESULT list_first_screen_s=.. list_all_rows_s=.. list_longest_pause_s=.. first_screen_ratio=..
// (against every row in one part) all_rows_ratio=.. list_open_mb=.. worst_kept_after_close_mb=..

#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <QDate>
#include <QDateEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/ProgramEntry.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "bench/LoggedInClient.h"
#include "bench/Resident.h"
#include "bench/ServerChild.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmxsdresult.h"
#include "tests/support/TestLogin.h"
#include "widgets/AppSetup.h"
#include "widgets/MessageService.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;
using velmora::bench::residentMb;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// lines order lines, five to an order, of four items, in March 2003.
void fill(const std::string& path, int lines) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const std::string orders = std::to_string((lines + 4) / 5);
    const std::string sql =
        "begin; delete from xsdzb; delete from xsdtb;"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        orders +
        ")"
        " insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq)"
        " select printf('B%07d', i), 'K00' || (i % 5 + 1), '客户' || (i % 5 + 1), 'Y0' || (i % 4 + 1),"
        " '业务员' || (i % 4 + 1), '管理员', '2003-03-' || printf('%02d', i % 28 + 1) from n;"
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
        std::to_string(lines - 1) +
        ")"
        " insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1)"
        " select printf('B%07d', i / 5 + 1), '010010' || (i % 4 + 1), '存货名称' || (i % 4 + 1), '规格' || "
        "(i % 4),"
        " '个', i % 9 + 1, 12.5, 12.5 * (i % 9 + 1) from n;"
        "commit;";
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "filling the database failed: %s\n", error);
        std::exit(1);
    }
    sqlite3_close(db);
}

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    malloc_trim(0);  // what the heap keeps free is not the window's
}

void closeEveryWindow() {
    for (QMdiSubWindow* w : MainForm->ClientArea->subWindowList()) w->close();
    settle();
}

struct Figures {
    double before = 0, open = 0, after = 0, seconds = 0;
};

Figures measure(const std::function<void()>& open) {
    settle();
    Figures f;
    f.before = residentMb();
    auto started = Clock::now();
    open();
    QCoreApplication::processEvents();
    f.seconds = seconds(started);
    f.open = residentMb();
    closeEveryWindow();
    f.after = residentMb();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    int lines = 200000;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--lines") && i + 1 < argc) lines = std::atoi(argv[++i]);

    char dir[] = "/tmp/velmora-window-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string path = std::string(dir) + "/bench.db";
    server::prepareDatabase(path, true);
    fill(path, lines);
    server::ServerOptions options;
    options.listen = "127.0.0.1";
    options.port = 0;
    options.database = path;
    bench::ServerChild server(options);  // forked before any thread of the client starts

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", dir, 1);  // the client's settings of this run only
    QApplication app(argc, argv);
    setupApplication(app);
    ProgramEntry entry;
    bench::startLoggedInClient(entry, server.port());
    MainForm->show();
    settle();
    std::printf("%d order lines; client after the login: %.1f MB\n", lines, residentMb());

    const std::vector<std::pair<const char*, std::function<void()>>> windows = {
        {"存货分类档案", [] { MainForm->N6Click(); }}, {"存货档案", [] { MainForm->N3Click(); }},
        {"客户档案", [] { MainForm->N4Click(); }},     {"业务员档案", [] { MainForm->N5Click(); }},
        {"销售开票", [] { MainForm->N8Click(); }},
    };
    double worstKept = 0;
    auto report = [&](const char* name, const Figures& f) {
        worstKept = std::max(worstKept, f.after - f.before);
        std::printf(
            "%-12s open %.2f s; memory %.1f MB before, %.1f MB open, %.1f MB after closing (%+.1f MB)\n",
            name, f.seconds, f.before, f.open, f.after, f.after - f.before);
    };
    for (const auto& [name, open] : windows) report(name, measure(open));

    // 销售单列表 over the whole month: the first rows are on screen once the result window has
    // painted them; every row once the window stops fetching. The baseline takes every row in one
    // part, as the list did before it came in parts. The longest pause is the longest the window
    // went without taking an event while the rows came in.
    struct ListFigures {
        double firstScreen = 0, allRows = 0, longestPause = 0;
        Figures memory;
    };
    auto openList = [&](int firstPart) {
        ListFigures l;
        TFrmxsdresult::FirstPartRows = firstPart;
        l.memory = measure([&] {
            Frmxsdquery->dp1->setDate(QDate(2003, 3, 1));
            Frmxsdquery->dp2->setDate(QDate(2003, 3, 31));
            auto started = Clock::now();
            Frmxsdquery->BitBtn1Click();
            QCoreApplication::processEvents();
            l.firstScreen = seconds(started);
            while (Frmxsdresult && Frmxsdresult->Fetching()) {
                auto pause = Clock::now();
                QCoreApplication::processEvents();
                l.longestPause = std::max(l.longestPause, seconds(pause));
            }
            l.allRows = seconds(started);
        });
        return l;
    };
    ListFigures whole = openList(0);
    ListFigures parts = openList(200);
    report("销售单列表", parts.memory);
    std::printf(
        "销售单列表 in parts: the first rows on screen after %.2f s, every row after %.2f s, "
        "the longest pause %.3f s\n",
        parts.firstScreen, parts.allRows, parts.longestPause);
    std::printf(
        "销售单列表 whole (baseline): every row on screen after %.2f s, the window frozen meanwhile\n",
        whole.firstScreen);
    const double firstScreen = parts.firstScreen;
    const double allRows = parts.allRows;

    entry.destroyAll();
    server.stop();
    std::string cleanup = std::string("rm -rf ") + dir;
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir);
    std::printf(
        "RESULT list_first_screen_s=%.3f list_all_rows_s=%.2f list_longest_pause_s=%.3f "
        "first_screen_ratio=%.3f all_rows_ratio=%.2f list_open_mb=%.1f worst_kept_after_close_mb=%.1f\n",
        firstScreen, allRows, parts.longestPause, firstScreen / whole.firstScreen,
        allRows / whole.firstScreen, parts.memory.open, worstKept);
    return 0;
}
