// The item and salesman sales summaries against the real velmora-server: their rows are the
// grouping the database itself gives, a code restricts them, the pickers fill the code, and their
// result windows total, colour, print and open their help section.
#include <QDateEdit>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include "data/ClientDataSet.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmchhzresult.h"
#include "reports/TFrmywyhzquery.h"
#include "reports/TFrmywyhzresult.h"
#include "sales/TFrmywyquery.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "tests/reports/ReportSession.h"
#include "widgets/BitBtn.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/HelpWindow.h"
#include "widgets/Panel.h"

using namespace velmora;
using velmora::test::ReportSession;
using velmora::test::rowsOf;
using velmora::test::summaryDates;
using velmora::test::sumOf;
using velmora::test::wholeRange;
using velmora::test::withLastPartAsG;

namespace {

std::function<void(SummaryQueryForm&)> wholeRangeFor(const char* code) {
    return [code](SummaryQueryForm& f) {
        wholeRange(f);
        f.Edit1->setText(QString::fromUtf8(code));
    };
}

ClientDataSet& rowsOfWindow(SummaryResultForm* window) {
    if (!window || !window->Rows()) qFatal("no summary window");
    return *window->Rows();
}

}  // namespace

class SummariesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportSession> s;

    QStringList itemRows() {
        return rowsOf(rowsOfWindow(Frmchhzresult), {"chid", "chname", "ggxh", "jldw", "sl"});
    }
    QStringList expectedItems(const std::string& where) {
        return withLastPartAsG(s->direct(
            "select chid||'|'||max(chname)||'|'||coalesce(max(ggxh),'')||'|'||coalesce(max(jldw),'')||'|'||"
            "sum(quantity1) from xsdview where " +
            where + " group by chid"));
    }
    QStringList salesmanRows() {
        return rowsOf(rowsOfWindow(Frmywyhzresult), {"ywyid", "ywyname", "djs", "sl"});
    }
    QStringList expectedSalesmen(const std::string& where) {
        return withLastPartAsG(
            s->direct("select coalesce(ywyid,'')||'|'||coalesce(max(ywyname),'')||'|'||"
                      "count(distinct xsdid)||'|'||sum(quantity1) from xsdview where " +
                      where + " group by ywyid"));
    }

  private slots:
    void initTestCase() { s = std::make_unique<ReportSession>(); }
    void cleanupTestCase() { s.reset(); }
    void init() { s->shell.messages.clear(); }
    void cleanup() { s->closeResultWindows(); }

    void dialogsAndWindowsLookAsTheCustomerSummaryDoesInTheListsColours() {
        QCOMPARE(Frmchhzquery->windowTitle(), QString("存货销售量汇总查询"));
        QCOMPARE(Frmchhzquery->Label2->text(), QString("存货编号："));
        QCOMPARE(Frmywyhzquery->windowTitle(), QString("业务员销售量汇总查询"));
        QCOMPARE(Frmywyhzquery->Label2->text(), QString("业务员编号："));
        QCOMPARE(Frmywyhzquery->size(), QSize(454, 307));

        s->runSummary(Frmchhzquery, wholeRange);
        s->runSummary(Frmywyhzquery, wholeRange);
        const std::pair<SummaryResultForm*, QStringList> windows[] = {
            {Frmchhzresult, {"存货编号", "存货名称", "规格型号", "计量单位", "数量", "金额"}},
            {Frmywyhzresult, {"业务员编号", "业务员名称", "数量", "金额", "单据数"}},
        };
        for (const auto& [window, titles] : windows) {
            QStringList shown;
            for (int c = 0; c < window->DBGrid1->model()->columnCount(); ++c)
                shown << window->DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(shown, titles);
            QVERIFY(window->DBGrid1->ReadOnly());
            QCOMPARE(window->Panel3->palette().color(QPalette::Window), QColor(182, 180, 203));
            QCOMPARE(window->Panel2->palette().color(QPalette::Window), QColor(192, 220, 192));
            QCOMPARE(window->n_export->text(), QString("导出"));
            QVERIFY(window->n_export->geometry().right() < window->n_exit->geometry().left());
            QVERIFY(window->n_exit->geometry().right() < window->DBNavigator1->geometry().left());
        }
        QCOMPARE(Frmchhzresult->windowTitle(), QString("存货销量汇总查询结果"));
        QCOMPARE(Frmywyhzresult->windowTitle(), QString("业务员销量汇总查询结果"));
        QVERIFY(s->shell.messages.texts().isEmpty());
    }

    void itemSummaryIsTheGroupingOfTheDatabase() {
        s->runSummary(Frmchhzquery, wholeRange);
        QStringList all = expectedItems("rq>='2002-10-01' and rq<='2003-03-31'");
        QVERIFY(all.size() > 3);
        QCOMPARE(itemRows(), all);
        ClientDataSet& rows = rowsOfWindow(Frmchhzresult);
        // Ordered by item code.
        for (int r = 1; r < rows.RecordCount(); ++r)
            QVERIFY(rows.textAt(r - 1, rows.FieldByName("chid").Index()) <
                    rows.textAt(r, rows.FieldByName("chid").Index()));
        QCOMPARE(Frmchhzresult->Label1->text().toDouble(), sumOf(rows, "sl"));
        double money = std::stod(s->scalar("select sum(money1) from xsdview"));
        QVERIFY(qAbs(Frmchhzresult->Label2->text().toDouble() - money) < 0.005);

        s->runSummary(Frmchhzquery,
                      [](SummaryQueryForm& f) { summaryDates(f, QDate(2002, 12, 1), QDate(2003, 1, 15)); });
        QCOMPARE(itemRows(), expectedItems("rq>='2002-12-01' and rq<='2003-01-15'"));
    }

    void anItemCodeRestrictsTheItemSummary() {
        std::string code = s->scalar("select min(chid) from xsdview");
        s->runSummary(Frmchhzquery, wholeRangeFor(code.c_str()));
        QCOMPARE(itemRows(), expectedItems("chid='" + code + "'"));
        QCOMPARE(itemRows().size(), 1);
        // Blanks alone are no code; a quote stays inside the value.
        s->runSummary(Frmchhzquery, wholeRangeFor("  "));
        QCOMPARE(itemRows(), expectedItems("1=1"));
        s->runSummary(Frmchhzquery, wholeRangeFor("x' or '1'='1"));
        QCOMPARE(rowsOfWindow(Frmchhzresult).RecordCount(), 0);
        QVERIFY(s->shell.messages.texts().isEmpty());
    }

    void anItemRenamedBetweenOrdersStaysOneRow() {
        s->execute(
            "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) values "
            "('T1', 'K001', '华联超市', 'Y01', '张伟', '管理员', '2002-11-02')");
        s->execute(
            "insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values "
            "('T1', '9900001', '试销品', 2, 10, 20), ('T1', '9900001', '试销品（新）', 3, 15, 45)");
        s->runSummary(Frmchhzquery, wholeRangeFor("9900001"));
        QCOMPARE(itemRows(), QStringList({"9900001|试销品（新）|||5"}));
        QCOMPARE(rowsOfWindow(Frmchhzresult).FieldByName("je").AsString(), std::string("65"));
        s->execute("delete from xsdzb where xsdid='T1'");
        s->execute("delete from xsdtb where xsdid='T1'");
    }

    void salesmanSummaryIsTheGroupingOfTheDatabaseWithItsOrderCount() {
        s->runSummary(Frmywyhzquery, wholeRange);
        QStringList all = expectedSalesmen("rq>='2002-10-01' and rq<='2003-03-31'");
        QVERIFY(all.size() > 1);
        QCOMPARE(salesmanRows(), all);
        // Every order has one salesman: the counts add up to the orders selected.
        QCOMPARE(Frmywyhzresult->reportTable().totals().back(),
                 s->scalar("select count(distinct xsdid) from xsdview"));

        std::string code = s->scalar("select min(ywyid) from xsdview");
        s->runSummary(Frmywyhzquery, wholeRangeFor(code.c_str()));
        QCOMPARE(salesmanRows(), expectedSalesmen("ywyid='" + code + "'"));
        s->runSummary(Frmywyhzquery,
                      [](SummaryQueryForm& f) { summaryDates(f, QDate(2003, 3, 31), QDate(2002, 10, 1)); });
        QCOMPARE(rowsOfWindow(Frmywyhzresult).RecordCount(), 0);
        QCOMPARE(Frmywyhzresult->Label1->text(), QString());
    }

    void thePickersFillTheCodeAndCancellingLeavesIt() {
        std::string firstItem = s->scalar("select min(chid) from ch");
        QString picked, kept;
        s->runSummary(Frmchhzquery, [&](SummaryQueryForm& f) {
            wholeRange(f);
            test::whenModal([](QWidget* dialog) {
                auto* picker = qobject_cast<TfrmClbm_Fzlr*>(dialog);
                QVERIFY(picker);
                for (int row : {0, 1})
                    picker->DBGrid1->selectionModel()->select(
                        picker->DBGrid1->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
                picker->BitBtn1->click();
            });
            f.Edit1DblClick();
            picked = f.Edit1->text();
            test::whenModal([](QWidget* dialog) { qobject_cast<TfrmClbm_Fzlr*>(dialog)->BitBtn2->click(); });
            f.Edit1DblClick();
            kept = f.Edit1->text();
        });
        QCOMPARE(picked, QString::fromStdString(firstItem));
        QCOMPARE(kept, picked);
        QCOMPARE(itemRows().size(), expectedItems("chid='" + firstItem + "'").size());

        QString line;
        s->runSummary(Frmywyhzquery, [&](SummaryQueryForm& f) {
            wholeRange(f);
            test::whenModal([&line](QWidget* dialog) {
                QCOMPARE(dialog, static_cast<QWidget*>(Frmywyquery));
                Frmywyquery->ListBox1->setCurrentRow(1);
                line = Frmywyquery->ListBox1->item(1)->text();
                Frmywyquery->BitBtn1->click();
            });
            f.Edit1DblClick();
            picked = f.Edit1->text();
        });
        QVERIFY(!picked.isEmpty());
        QVERIFY(line.startsWith(picked + " "));
    }

    void printAndHelpFromTheResultWindow() {
        s->runSummary(Frmywyhzquery, wholeRange);
        QString preview;
        test::whenModal([&preview](QWidget* dialog) {
            preview = dialog->windowTitle();
            dialog->close();
        });
        QTest::mouseClick(Frmywyhzresult->n_print, Qt::LeftButton);
        QCOMPARE(preview, QString("打印预览 - 业务员销量汇总表"));
        QTest::keyClick(Frmywyhzresult->DBGrid1, Qt::Key_F1);
        QVERIFY(HelpWindow::instance());
        QCOMPARE(HelpWindow::instance()->currentSection(), QString("Frmywyhzresult"));
        HelpWindow::instance()->close();
    }
};

VELMORA_GUI_TEST_MAIN(SummariesTest)
#include "SummariesTest.moc"
