// The customer sales summary against the real velmora-server: one row per customer name and item
// name, as the same grouping on the database gives, with the totals of its columns.
#include <cstdio>

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmkhhzresult.h"
#include "reports/TFrmxsdquery.h"
#include "sales/TFrmkhquery.h"
#include "tests/reports/ReportSession.h"
#include "widgets/BitBtn.h"
#include "widgets/DBGrid.h"

using namespace velmora;
using velmora::test::ReportSession;
using velmora::test::rowsOf;
using velmora::test::summaryDates;
using velmora::test::sumOf;
using velmora::test::wholeRange;
using velmora::test::withLastPartAsG;

namespace {

// Summary rows as "customer|item|quantity", the quantity as the client writes a number.
QStringList summaryRows(ClientDataSet& rows) {
    return rowsOf(rows, {"khname", "chname", "sl"});
}
const std::string kGroupedSql = "select khname||'|'||chname||'|'||sum(quantity1) from xsdview where ";

}  // namespace

class SummaryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportSession> s;

    ClientDataSet& rows() {
        if (!Frmkhhzresult || !Frmkhhzresult->Rows()) qFatal("no summary window");
        return *Frmkhhzresult->Rows();
    }
    QStringList expected(const std::string& where) {
        return withLastPartAsG(s->direct(kGroupedSql + where + " group by khname, chname"));
    }

  private slots:
    void initTestCase() { s = std::make_unique<ReportSession>(); }
    void cleanupTestCase() { s.reset(); }
    void init() { s->shell.messages.clear(); }
    void cleanup() { s->closeResultWindows(); }

    void theDialogAndTheWindowLookAsLaidOut() {
        s->showSummaryQuery([](TFrmkhhzquery& f) {
            QCOMPARE(f.windowTitle(), QString("客户销售量汇总查询"));
            QCOMPARE(f.size(), QSize(454, 307));
            QCOMPARE(f.dp1->date(), QDate(2002, 12, 31));
            QCOMPARE(f.dp2->date(), QDate(2002, 12, 31));
            QCOMPARE(f.Edit1->geometry(), QRect(192, 144, 121, 21));
        });
        s->runSummaryQuery([](TFrmkhhzquery&) {});
        QVERIFY(Frmkhhzresult);
        QCOMPARE(Frmkhhzresult->windowTitle(), QString("客户业务汇总查询结果"));
        QStringList titles;
        for (int c = 0; c < 4; ++c)
            titles << Frmkhhzresult->DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"客户名称", "存货名称", "数量", "金额"}));
        QCOMPARE(Frmkhhzresult->DBGrid1->columnWidth(1), 105);
        QVERIFY(Frmkhhzresult->DBGrid1->ReadOnly());
        QTRY_VERIFY(Frmkhhzresult->isMaximizedWindow());
        // Print shows the preview of the report and says nothing.
        QString preview;
        test::whenModal([&preview](QWidget* dialog) {
            preview = dialog->windowTitle();
            dialog->close();
        });
        QTest::mouseClick(Frmkhhzresult->n_print, Qt::LeftButton);
        QCOMPARE(preview, QString("打印预览 - 客户销量汇总表"));
        QVERIFY(s->shell.messages.texts().isEmpty());
    }

    void theSummaryIsTheGroupingOfTheDatabase() {
        s->runSummaryQuery(wholeRange);
        QCOMPARE(summaryRows(rows()), expected("1=1"));
        s->runSummaryQuery([](TFrmkhhzquery& f) { summaryDates(f, QDate(2002, 12, 1), QDate(2003, 1, 15)); });
        QCOMPARE(summaryRows(rows()), expected("rq>='2002-12-01' and rq<='2003-01-15'"));
        QCOMPARE(Frmkhhzresult->DBGrid1->model()->rowCount(), rows().RecordCount());
    }

    void theTotalsAreTheSumsOfTheColumns() {
        s->runSummaryQuery(wholeRange);
        QVERIFY(rows().RecordCount() > 1);
        QCOMPARE(Frmkhhzresult->Label1->text().toDouble(), sumOf(rows(), "sl"));
        double money = std::stod(s->scalar("select sum(money1) from xsdview"));
        QVERIFY(qAbs(Frmkhhzresult->Label2->text().toDouble() - money) < 0.005);
    }

    void linesOfOneCustomerNameAndItemFormOneRow() {
        // Two orders on different dates, under two customer codes that carry the same name.
        s->execute(
            "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) values "
            "('T1', 'K001', '华联超市', 'Y01', '张伟', '管理员', '2002-11-02')");
        s->execute(
            "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, rq) values "
            "('T2', 'K777', '华联超市', 'Y02', '李娜', '管理员', '2003-02-03')");
        s->execute(
            "insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values "
            "('T1', '9900001', '试销品', 2, 10, 20)");
        s->execute(
            "insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values "
            "('T2', '9900001', '试销品', 3, 15, 45)");
        s->runSummaryQuery(wholeRange);
        QStringList trial = summaryRows(rows()).filter("试销品");
        QCOMPARE(trial, QStringList({"华联超市|试销品|5"}));
        ClientDataSet& r = rows();
        r.First();
        while (!r.Eof() && r.FieldByName("chname").AsString() != "试销品") r.Next();
        QCOMPARE(r.FieldByName("je").AsString(), std::string("65"));
        s->execute("delete from xsdzb where xsdid in ('T1', 'T2')");
        s->execute("delete from xsdtb where xsdid in ('T1', 'T2')");
    }

    void aCustomerCodeRestrictsTheSummary() {
        s->runSummaryQuery([](TFrmkhhzquery& f) {
            wholeRange(f);
            f.Edit1->setText("K003");
        });
        QStringList want = expected("khid='K003'");
        QVERIFY(!want.isEmpty());
        QCOMPARE(summaryRows(rows()), want);

        // Blanks alone are no customer; blanks around a code are part of it.
        s->runSummaryQuery([](TFrmkhhzquery& f) {
            wholeRange(f);
            f.Edit1->setText("   ");
        });
        QCOMPARE(summaryRows(rows()), expected("1=1"));
        s->runSummaryQuery([](TFrmkhhzquery& f) {
            wholeRange(f);
            f.Edit1->setText(" K003");
        });
        QCOMPARE(rows().RecordCount(), 0);

        s->runSummaryQuery([](TFrmkhhzquery& f) {
            wholeRange(f);
            f.Edit1->setText("K003' or '1'='1");
        });
        QCOMPARE(s->shell.messages.texts(), QStringList());
        QCOMPARE(rows().RecordCount(), 0);
    }

    void anInvertedDateRangeGivesNoRows() {
        s->runSummaryQuery([](TFrmkhhzquery& f) { summaryDates(f, QDate(2003, 3, 31), QDate(2002, 10, 1)); });
        QVERIFY(Frmkhhzresult);
        QCOMPARE(Frmkhhzresult->DBGrid1->model()->rowCount(), 0);
        QCOMPARE(Frmkhhzresult->Label1->text(), QString());
        QCOMPARE(Frmkhhzresult->Label2->text(), QString());
    }

    void theWindowKeepsItsRowsWhenTheSharedQueryDatasetIsReloaded() {
        s->runSummaryQuery(wholeRange);
        QStringList before = summaryRows(rows());
        // Showing the list query reads the user list through the shared query dataset.
        s->showListQuery([](TFrmxsdquery&) {});
        QCOMPARE(dm->ClientDataSethz.FindField("khname"), nullptr);
        QCOMPARE(summaryRows(rows()), before);
        QCOMPARE(Frmkhhzresult->DBGrid1->model()->rowCount(), before.size());
    }

    void aSecondSummaryReusesTheOpenWindow() {
        s->runSummaryQuery(wholeRange);
        TFrmkhhzresult* first = Frmkhhzresult;
        s->runSummaryQuery([](TFrmkhhzquery& f) {
            wholeRange(f);
            f.Edit1->setText("K005");
        });
        QCOMPARE(Frmkhhzresult, first);
        QCOMPARE(summaryRows(rows()), expected("khid='K005'"));
        QCOMPARE(first->Label1->text().toDouble(), sumOf(rows(), "sl"));
    }

    void showingEmptiesTheCodeAndKeepsTheDates() {
        s->showSummaryQuery([](TFrmkhhzquery& f) {
            summaryDates(f, QDate(2002, 11, 1), QDate(2003, 2, 1));
            f.Edit1->setText("K002");
        });
        s->showSummaryQuery([](TFrmkhhzquery& f) {
            QCOMPARE(f.Edit1->text(), QString());
            QCOMPARE(f.dp1->date(), QDate(2002, 11, 1));
            QCOMPARE(f.dp2->date(), QDate(2003, 2, 1));
        });
    }

    void doubleClickingTheCodePicksACustomer() {
        s->showSummaryQuery([](TFrmkhhzquery& f) {
            f.Edit1->setText("K001");
            // Cancelled after a choice: the code stays.
            test::whenModal([](QWidget* picker) {
                auto* list = picker->findChild<QListWidget*>("ListBox1");
                list->setCurrentRow(2);
                QTest::mouseClick(picker->findChild<BitBtn*>("BitBtn2"), Qt::LeftButton);
            });
            QTest::mouseDClick(f.Edit1, Qt::LeftButton);
            QCOMPARE(f.Edit1->text(), QString("K001"));
            QVERIFY(!f.findChild<TFrmkhquery*>());

            test::whenModal([](QWidget* picker) {
                auto* list = picker->findChild<QListWidget*>("ListBox1");
                list->setCurrentRow(2);
                QTest::mouseClick(picker->findChild<BitBtn*>("BitBtn1"), Qt::LeftButton);
            });
            QTest::mouseDClick(f.Edit1, Qt::LeftButton);
            QCOMPARE(f.Edit1->text(), QString("K003"));
            QVERIFY(!f.findChild<TFrmkhquery*>());
        });
    }
};

VELMORA_GUI_TEST_MAIN(SummaryTest)
#include "SummaryTest.moc"
