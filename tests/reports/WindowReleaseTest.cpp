// What each window opens it lets go when it closes: the rows of the data module's datasets are
// handed back (and with them the memory), unless another open window still shows them.
#include <QMdiArea>
#include <QMdiSubWindow>

#include "app/TMainForm.h"
#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmywyhzquery.h"
#include "tests/reports/ReportSession.h"

using namespace velmora;
using velmora::test::ReportSession;

class WindowReleaseTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportSession> s;

    // The open datasets but the category window's index copy, which stays open by design once
    // read (a few dozen categories).
    static QStringList openDataSets() {
        QStringList names;
        for (ClientDataSet* ds : dm->dataSets())
            if (ds->Active() && ds != &dm->ClientDataSetchfl_index)
                names << QString::fromStdString(ds->Name());
        return names;
    }
    static void closeEveryWindow() {
        for (QMdiSubWindow* w : MainForm->ClientArea->subWindowList()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(MainForm->ClientArea->subWindowList().size(), 0);
    }

  private slots:
    void initTestCase() { s = std::make_unique<ReportSession>(); }
    void cleanupTestCase() { s.reset(); }

    void everyWindowLetsGoOfWhatItOpenedWhenItCloses() {
        const QStringList before = openDataSets();
        const std::vector<std::pair<const char*, std::function<void()>>> windows = {
            {"存货分类档案", [] { MainForm->N6Click(); }},
            {"存货档案", [] { MainForm->N3Click(); }},
            {"客户档案", [] { MainForm->N4Click(); }},
            {"业务员档案", [] { MainForm->N5Click(); }},
            {"销售开票", [] { MainForm->N8Click(); }},
            {"用户管理", [] { MainForm->N17Click(); }},
            {"销售单列表", [this] { s->runListQuery([](TFrmxsdquery&) {}); }},
            {"客户销量汇总表", [this] { s->runSummaryQuery([](TFrmkhhzquery& f) { test::wholeRange(f); }); }},
            {"存货销量汇总表", [this] { s->runSummary(Frmchhzquery, test::wholeRange); }},
            {"业务员销量汇总表", [this] { s->runSummary(Frmywyhzquery, test::wholeRange); }},
        };
        for (const auto& [name, open] : windows) {
            open();
            QVERIFY2(!MainForm->ClientArea->subWindowList().isEmpty(), name);
            closeEveryWindow();
            QVERIFY2(openDataSets() == before,
                     qPrintable(QString::fromUtf8(name) + QStringLiteral(" left open: ") +
                                openDataSets().join(QLatin1Char(' '))));
        }
    }

    void aWindowClosingLeavesWhatAnotherOpenWindowShows() {
        const QStringList before = openDataSets();
        MainForm->N8Click();  // 销售开票: the orders, their lines, customers, salesmen, items
        MainForm->N3Click();  // 存货档案: the items and the lines
        MainForm->N4Click();  // 客户档案: the customers
        const QStringList invoicing = {"ClientDataSetxsdtb", "ClientDataSetxsdzb", "ClientDataSetkh",
                                       "ClientDataSetywy", "ClientDataSetch"};
        for (QMdiSubWindow* w : MainForm->ClientArea->subWindowList())
            if (w->widget()->objectName() != QLatin1String("Frmkp")) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QString& name : invoicing) QVERIFY2(openDataSets().contains(name), qPrintable(name));
        closeEveryWindow();
        QCOMPARE(openDataSets(), before);
    }
};

VELMORA_GUI_TEST_MAIN(WindowReleaseTest)
#include "WindowReleaseTest.moc"
