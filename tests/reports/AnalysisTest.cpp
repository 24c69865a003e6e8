// 经营分析 against the real velmora-server, on each database: its four charts hold the numbers
// the database's own GROUP BY gives, every date format falls in its period, a chosen bar, slice or
// row opens the order list whose totals are that entry's, empty ranges say 无数据, and the window
// prints, exports and opens its help section.
#include <QAction>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>

#include "app/NavLabel.h"
#include "app/TMainForm.h"
#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/AnalysisChartPanel.h"
#include "reports/TFrmjyfx.h"
#include "reports/TFrmxsdresult.h"
#include "tests/reports/ReportSession.h"
#include "widgets/BitBtn.h"
#include "widgets/FileDialogService.h"
#include "widgets/HelpWindow.h"

using namespace velmora;
using velmora::test::ReportSession;
using velmora::test::sumOf;

namespace {

const char* const kWhole = "rq >= '2002-10-01' and rq <= '2003-03-31'";

// A cell of a chart's table as a number.
double number(AnalysisChartPanel* chart, int row, int column) {
    return chart->table()->item(row, column)->text().remove('%').toDouble();
}

QString text(AnalysisChartPanel* chart, int row, int column) {
    return chart->table()->item(row, column)->text();
}

}  // namespace

class AnalysisTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportSession> s;

    TFrmjyfx* open() {
        MainForm->N20->trigger();
        if (!Frmjyfx) qFatal("经营分析 did not open");
        return Frmjyfx;
    }
    TFrmjyfx* query(QDate from, QDate to, const char* grouping) {
        TFrmjyfx* w = open();
        w->dp1->setDate(from);
        w->dp2->setDate(to);
        w->ComboBox1->setCurrentText(QString::fromUtf8(grouping));
        QTest::mouseClick(w->BitBtn1, Qt::LeftButton);
        return w;
    }
    TFrmjyfx* wholeRange(const char* grouping = "按月") {
        return query(QDate(2002, 10, 1), QDate(2003, 3, 31), grouping);
    }
    double sql(const std::string& statement) {
        return QString::fromStdString(s->scalar(statement)).toDouble();
    }
    void enterOn(AnalysisChartPanel* chart, int row) {
        chart->table()->setFocus();
        chart->table()->setCurrentCell(row, 0);
        QTest::keyClick(chart->table(), Qt::Key_Return);
    }
    // The order list opened by a drill-down: its totals and its rows' sums agree with amount.
    void verifyList(double amount) {
        QVERIFY(Frmxsdresult);
        ClientDataSet& rows = MainForm->Session.dm().ClientDataSetxsdview;
        QVERIFY(qAbs(sumOf(rows, "money1") - amount) < 0.005);
        QVERIFY(qAbs(Frmxsdresult->Label2->text().toDouble() - amount) < 0.005);
        Frmxsdresult->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private slots:
    void initTestCase() { s = std::make_unique<ReportSession>(); }
    void cleanupTestCase() { s.reset(); }
    void init() { s->shell.messages.clear(); }
    void cleanup() {
        s->closeResultWindows();
        if (Frmjyfx) Frmjyfx->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void everyChartHoldsWhatTheDatabaseGroups() {
        TFrmjyfx* w = wholeRange("按月");
        QVERIFY(s->shell.messages.texts().isEmpty());
        const std::string where = std::string(" from xsdview where ") + kWhole;
        // 销售额趋势: a row per month of the demo data.
        QStringList months = s->direct("select distinct substr(rq,1,7)" + where);
        QCOMPARE(w->Chart1->table()->rowCount(), months.size());
        for (int r = 0; r < months.size(); ++r) {
            QCOMPARE(text(w->Chart1, r, 0), months[r]);
            const std::string month = " and substr(rq,1,7) = '" + months[r].toStdString() + "'";
            QCOMPARE(number(w->Chart1, r, 1), sql("select sum(money1)" + where + month));
            QCOMPARE(number(w->Chart1, r, 2), sql("select sum(quantity1)" + where + month));
            QCOMPARE(number(w->Chart1, r, 3), sql("select count(distinct xsdid)" + where + month));
        }
        // 客户排行 and 存货排行: the ten largest, the rest as 其他, all adding up to the total.
        const double total = sql("select sum(money1)" + where);
        for (auto [chart, column] : {std::pair{w->Chart2, "khid"}, std::pair{w->Chart3, "chid"}}) {
            const int codes =
                static_cast<int>(sql(std::string("select count(distinct ") + column + ")" + where));
            QCOMPARE(chart->table()->rowCount(), codes > 10 ? 11 : codes);
            double shown = 0, previous = 1e300;
            for (int r = 0; r < chart->table()->rowCount(); ++r) {
                const double amount = number(chart, r, 2);
                shown += amount;
                if (text(chart, r, 1) == "其他") continue;
                QVERIFY(amount <= previous);
                previous = amount;
                QCOMPARE(amount, sql("select sum(money1)" + where + " and " + column + " = '" +
                                     text(chart, r, 0).toStdString() + "'"));
            }
            QVERIFY(qAbs(shown - total) < 0.005);
        }
        // 业务员占比: each salesman's amount, share and orders.
        QStringList salesmen = s->direct("select distinct ywyid" + where);
        QCOMPARE(w->Chart4->table()->rowCount(), salesmen.size());
        for (int r = 0; r < salesmen.size(); ++r) {
            const std::string one = " and ywyid = '" + text(w->Chart4, r, 0).toStdString() + "'";
            const double amount = sql("select sum(money1)" + where + one);
            QCOMPARE(number(w->Chart4, r, 2), amount);
            QVERIFY(qAbs(number(w->Chart4, r, 3) - amount / total * 100) < 0.05);
            QCOMPARE(number(w->Chart4, r, 4), sql("select count(distinct xsdid)" + where + one));
        }
        // Every chart can be read without the picture.
        for (AnalysisChartPanel* chart : w->panels()) {
            QVERIFY(!chart->view()->accessibleName().isEmpty());
            QVERIFY(chart->view()->accessibleDescription().contains("："));
            QVERIFY(!chart->emptyLabel()->isVisible());
        }
        // 存货排行 by quantity puts the item sold most first.
        w->ComboBox2->setCurrentIndex(1);
        const std::string most =
            s->direct("select max(q) from (select sum(quantity1) as q" + where + " group by chid) t")[0]
                .toStdString();
        QCOMPARE(number(w->Chart3, 0, 3), QString::fromStdString(most).toDouble());
    }

    void everyDateFormatAndGroupingMeetsTheCalendar() {
        // Orders typed over the proposed date, on another workstation or by hand.
        const char* dates[][2] = {{"F1", "2003/4/5"},     {"F2", "2003.04.05"},     {"F3", "20030405"},
                                  {"F4", "2003年4月5日"}, {"F5", "2003-4-5 10:30"}, {"F6", "2003-12-31"},
                                  {"F7", "2004/1/1"}};
        for (const auto& [id, rq] : dates) {
            s->execute(
                std::string(
                    "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) values ('") +
                id + "', 'K001', '华联超市', 'Y01', '张伟', '管理员', '" + rq + "')");
            s->execute(
                std::string("insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values ('") +
                id + "', '0100101', '联想电脑', 1, 100, 100)");
        }
        TFrmjyfx* w = query(QDate(2003, 4, 1), QDate(2004, 1, 31), "按日");
        QCOMPARE(w->Chart1->table()->rowCount(), 3);
        QCOMPARE(text(w->Chart1, 0, 0), QString("2003-04-05"));
        QCOMPARE(number(w->Chart1, 0, 1), 500.0);
        QCOMPARE(text(w->Chart1, 1, 0), QString("2003-12-31"));
        QCOMPARE(text(w->Chart1, 2, 0), QString("2004-01-01"));
        // Across the year boundary, by month, quarter and year.
        const std::pair<const char*, QStringList> groupings[] = {
            {"按月", {"2003-04", "2003-12", "2004-01"}},
            {"按季", {"2003年第2季度", "2003年第4季度", "2004年第1季度"}},
            {"按年", {"2003年", "2004年"}}};
        for (const auto& [grouping, periods] : groupings) {
            w = query(QDate(2003, 4, 1), QDate(2004, 1, 31), grouping);
            QStringList shown;
            for (int r = 0; r < w->Chart1->table()->rowCount(); ++r) shown << text(w->Chart1, r, 0);
            QCOMPARE(shown, periods);
        }
        // The demo data's turn of the year: 2002-12-31 and 2003-01-06.
        w = query(QDate(2002, 12, 1), QDate(2003, 1, 31), "按年");
        QCOMPARE(text(w->Chart1, 0, 0), QString("2002年"));
        QCOMPARE(number(w->Chart1, 0, 1),
                 sql("select sum(money1) from xsdview where rq >= '2002-12-01' and rq <= '2002-12-31'"));
        QCOMPARE(number(w->Chart1, 1, 1),
                 sql("select sum(money1) from xsdview where rq >= '2003-01-01' and rq <= '2003-01-31'"));
        for (const auto& [id, rq] : dates) {
            s->execute(std::string("delete from xsdzb where xsdid = '") + id + "'");
            s->execute(std::string("delete from xsdtb where xsdid = '") + id + "'");
        }
    }

    void aChosenEntryOpensTheListOfExactlyItsOrders() {
        TFrmjyfx* w = wholeRange("按季");
        // Enter on a row of each table.
        for (AnalysisChartPanel* chart : w->panels()) {
            const int last = chart->table()->rowCount() - 1;
            const int amountColumn = chart == w->Chart1 ? 1 : 2;
            const double amount = number(chart, last, amountColumn);
            enterOn(chart, last);
            verifyList(amount);
        }
        // 其他 holds the items after the ten largest.
        QCOMPARE(w->Chart3->table()->rowCount(), 11);
        QCOMPARE(text(w->Chart3, 10, 1), QString("其他"));
        // A click on a bar of the trend and a slice of the pie does the same.
        auto* bars = qobject_cast<QBarSeries*>(w->Chart1->view()->chart()->series().at(0));
        emit bars->barSets().at(0)->clicked(0);
        verifyList(number(w->Chart1, 0, 1));
        auto* pie = qobject_cast<QPieSeries*>(w->Chart4->view()->chart()->series().at(0));
        emit pie->slices().at(1)->clicked();
        verifyList(number(w->Chart4, 1, 2));
        QVERIFY(s->shell.messages.texts().isEmpty());
    }

    void hoveringABarShowsItsNumbers() {
        TFrmjyfx* w = wholeRange("按月");
        w->Maximize();
        QChart* chart = w->Chart1->view()->chart();
        QAbstractSeries* bars = chart->series().at(0);
        const QPointF middle = chart->mapToPosition(QPointF(0, number(w->Chart1, 0, 1) / 2), bars);
        QWidget* viewport = w->Chart1->view()->viewport();
        const QPoint at = w->Chart1->view()->mapFromScene(chart->mapToScene(middle));
        QTest::mouseMove(viewport, at - QPoint(0, 2));
        QTest::mouseMove(viewport, at);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(text(w->Chart1, 0, 1)));
        QVERIFY(QToolTip::text().startsWith(text(w->Chart1, 0, 0)));
    }

    void anEmptyRangeSaysNoDataInEveryChart() {
        TFrmjyfx* w = query(QDate(2010, 1, 1), QDate(2010, 12, 31), "按月");
        for (AnalysisChartPanel* chart : w->panels()) {
            QVERIFY(chart->emptyLabel()->isVisible());
            QCOMPARE(chart->emptyLabel()->text(), QString("无数据"));
            QCOMPARE(chart->table()->rowCount(), 0);
        }
        QCOMPARE(w->Label7->text(), QString("无数据"));
        QVERIFY(s->shell.messages.texts().isEmpty());
    }

    void printsToPdfAndExportsPicturesAndAWorkbook() {
        TFrmjyfx* w = wholeRange("按月");
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("analysis.pdf"));
        printer.setPageOrientation(QPageLayout::Landscape);
        w->printTo(printer);
        QFile pdf(dir.filePath("analysis.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 20000);  // four charts drawn, not an empty page

        FileDialogService::setHandler([&dir](const SaveFileRequest&) { return dir.filePath("out.xlsx"); });
        QTest::mouseClick(w->n_export, Qt::LeftButton);
        FileDialogService::setHandler({});
        QVERIFY(QFileInfo(dir.filePath("out.xlsx")).size() > 0);
        for (const char* chart : {"销售额趋势", "客户排行", "存货排行", "业务员占比"}) {
            QImage picture(dir.filePath(QStringLiteral("out-%1.png").arg(QString::fromUtf8(chart))));
            QVERIFY2(!picture.isNull(), chart);
            QVERIFY(picture.width() >= 600);
        }
        QCOMPARE(s->shell.messages.texts().size(), 1);
        QVERIFY(s->shell.messages.texts().first().startsWith("已导出到"));
        // One sheet per chart, each holding its table.
        QProcess unzip;
        unzip.start("unzip", {"-p", dir.filePath("out.xlsx"), "xl/workbook.xml"});
        if (unzip.waitForFinished() && unzip.exitCode() == 0) {
            const QString workbook = QString::fromUtf8(unzip.readAll());
            for (const char* chart : {"销售额趋势", "客户排行", "存货排行", "业务员占比"})
                QVERIFY2(workbook.contains(QString::fromUtf8(chart)), chart);
        }
    }

    void theMenuItemOpensOneWindowAndF1ItsHelp() {
        TFrmjyfx* w = open();
        QCOMPARE(open(), w);
        QCOMPARE(HelpWindow::sectionFor(w->Chart2->table()), QString("Frmjyfx"));
        QVERIFY(MainForm->NavLabels[7]->isEnabled());
    }
};

VELMORA_GUI_TEST_MAIN(AnalysisTest)
#include "AnalysisTest.moc"
