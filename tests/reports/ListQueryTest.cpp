// The sales order list against the real velmora-server: every criterion narrows the list exactly
// as the same condition on the database does, the totals are the sums over the rows shown, and
// the result window follows each new query.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolButton>

#include "app/TMainForm.h"
#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/ReportOutput.h"
#include "reports/ReportTable.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmxsdresult.h"
#include "tests/reports/ReportSession.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/DataSetModel.h"
#include "widgets/Panel.h"
#include "widgets/PrintSheet.h"

using namespace velmora;
using velmora::test::ReportSession;
using velmora::test::rowsOf;
using velmora::test::sumOf;

namespace {

// Order lines identified by invoice number and item code.
const std::vector<const char*> kLineKey{"xsdid", "chid"};
const std::string kLineKeySql = "select xsdid||'|'||chid from xsdview where ";
const std::string kWholeRange = "rq>='2002-10-01' and rq<='2003-03-31'";

void wholeRange(TFrmxsdquery& f) {
    f.dp1->setDate(QDate(2002, 10, 1));
    f.dp2->setDate(QDate(2003, 3, 31));
}

}  // namespace

class ListQueryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportSession> s;

    ClientDataSet& rows() { return dm->ClientDataSetxsdview; }
    QStringList shown() { return rowsOf(rows(), kLineKey); }
    QStringList expected(const std::string& where) { return s->direct(kLineKeySql + where); }

  private slots:
    void initTestCase() { s = std::make_unique<ReportSession>(); }
    void cleanupTestCase() { s.reset(); }
    void init() {
        s->shell.messages.clear();
        // A test that failed halfway may have left its criteria in the dialog.
        for (QLineEdit* e : Frmxsdquery->findChildren<QLineEdit*>(QRegularExpression("^Edit"))) e->clear();
        Frmxsdquery->ComboBox1->setEditText("");
        Frmxsdquery->ComboBox2->setCurrentIndex(0);
        Frmxsdquery->dp1->setDate(QDate(2002, 12, 31));
        Frmxsdquery->dp2->setDate(QDate(2002, 12, 31));
    }
    void cleanup() { s->closeResultWindows(); }

    void theDialogAndTheWindowLookAsLaidOut() {
        s->showListQuery([](TFrmxsdquery& f) {
            QCOMPARE(f.windowTitle(), QString("销售发票明细查询"));
            QCOMPARE(f.size(), QSize(619, 327));
            QCOMPARE(f.dp1->date(), QDate(2002, 12, 31));
            QCOMPARE(f.dp2->displayFormat(), QString("yyyy-MM-dd"));
            QCOMPARE(f.Label14->text(), QString("销售单明细查询"));
            QCOMPARE(f.Label14->palette().color(QPalette::WindowText), QColor(128, 0, 0));
            QCOMPARE(f.Edit5->parentWidget(), static_cast<QWidget*>(f.Panel1));
            QCOMPARE(f.Edit5->geometry(), QRect(78, 64, 97, 21));
        });
        s->runListQuery([](TFrmxsdquery&) {});
        QVERIFY(Frmxsdresult);
        QCOMPARE(Frmxsdresult->windowTitle(), QString("销售单查询结果"));
        QCOMPARE(Frmxsdresult->DBGrid1->columns().size(), size_t(15));
        QCOMPARE(Frmxsdresult->DBGrid1->model()->headerData(14, Qt::Horizontal).toString(), QString("金额"));
        QCOMPARE(Frmxsdresult->DBGrid1->columnWidth(0), 105);
        QVERIFY(Frmxsdresult->DBGrid1->ReadOnly());
        QCOMPARE(Frmxsdresult->Panel2->palette().color(QPalette::Window), QColor(192, 220, 192));
        QCOMPARE(Frmxsdresult->Panel3->palette().color(QPalette::Window), QColor(182, 180, 203));
        QTRY_VERIFY(Frmxsdresult->isMaximizedWindow());

        // Print shows the preview of the report and says nothing.
        QString preview;
        test::whenModal([&preview](QWidget* dialog) {
            preview = dialog->windowTitle();
            dialog->close();
        });
        QTest::mouseClick(Frmxsdresult->n_print, Qt::LeftButton);
        QCOMPARE(preview, QString("打印预览 - 销售单列表"));
        QVERIFY(s->shell.messages.texts().isEmpty());
    }

    void theDatesAloneListEveryOrderBetweenThem() {
        // The dates start at the last day of 2002, which holds four orders.
        s->runListQuery([](TFrmxsdquery&) {});
        QStringList lines = expected("rq='2002-12-31'");
        QCOMPARE(s->direct("select distinct xsdid from xsdview where rq='2002-12-31'").size(), 4);
        QCOMPARE(shown(), lines);
        QCOMPARE(Frmxsdresult->DBGrid1->model()->rowCount(), lines.size());

        s->runListQuery(wholeRange);
        QCOMPARE(shown(), expected("1=1"));
    }

    void eachCriterionAloneNarrowsAsTheDatabaseDoes() {
        struct Case {
            const char* name;
            std::function<void(TFrmxsdquery&)> fill;
            std::string where;
        };
        const Case cases[] = {
            {"user", [](TFrmxsdquery& f) { f.ComboBox1->setEditText("王会计"); }, "username='王会计'"},
            {"invoice from", [](TFrmxsdquery& f) { f.Edit3->setText("XS000020"); }, "xsdid>='XS000020'"},
            {"invoice to", [](TFrmxsdquery& f) { f.Edit4->setText("XS000005"); }, "xsdid<='XS000005'"},
            {"customer", [](TFrmxsdquery& f) { f.Edit5->setText("K003"); }, "khid='K003'"},
            {"salesman", [](TFrmxsdquery& f) { f.Edit6->setText("Y02"); }, "ywyid='Y02'"},
            {"item", [](TFrmxsdquery& f) { f.Edit7->setText("0200101"); }, "chid='0200101'"},
            {"quantity from", [](TFrmxsdquery& f) { f.Edit8->setText("30"); }, "quantity1>=30"},
            {"quantity to", [](TFrmxsdquery& f) { f.Edit9->setText("5"); }, "quantity1<=5"},
            {"amount from", [](TFrmxsdquery& f) { f.Edit10->setText("1000"); }, "money1>=1000"},
            {"amount to", [](TFrmxsdquery& f) { f.Edit11->setText("60.5"); }, "money1<=60.5"},
        };
        int all = s->direct(kLineKeySql + "1=1").size();
        for (const Case& c : cases) {
            QStringList want = expected(c.where);
            // Each criterion has to narrow the demo data for the comparison to mean something.
            QVERIFY2(!want.isEmpty() && want.size() < all, c.name);
            s->runListQuery([&c](TFrmxsdquery& f) {
                wholeRange(f);
                c.fill(f);
            });
            QVERIFY2(shown() == want, c.name);
            QVERIFY2(s->shell.messages.texts().isEmpty(), c.name);
        }
    }

    void theApprovalStateListsApprovedOrUnapprovedOrdersOrAll() {
        // Two orders approved beside the demo's one; an approver's name left empty is no approval.
        s->execute(
            "update xsdtb set ischeck = true, shrname = '王会计' where xsdid in ('XS000007', 'XS000012')");
        s->execute("update xsdtb set shrname = '' where xsdid = 'XS000013'");
        const QString choices[] = {"全部", "已审核", "未审核"};
        const std::string where[] = {"1=1", "shrname is not null and shrname<>''",
                                     "(shrname is null or shrname='')"};
        QCOMPARE(Frmxsdquery->ComboBox2->count(), 3);
        QCOMPARE(Frmxsdquery->ComboBox2->currentText(), choices[0]);
        for (int i = 0; i < 3; ++i) {
            s->runListQuery([&](TFrmxsdquery& f) {
                wholeRange(f);
                f.ComboBox2->setCurrentIndex(i);
            });
            QCOMPARE(shown(), expected(where[i]));
            QCOMPARE(Frmxsdquery->ComboBox2->currentIndex(), 0);  // back to 全部 for the next query
            // The 审核人 column is shown, and the printout names the state asked for.
            const int approver = rows().FieldByName("shrname").Index();
            QVERIFY(!Frmxsdresult->DBGrid1->isColumnHidden(7));
            QCOMPARE(Frmxsdresult->DBGrid1->model()->headerData(7, Qt::Horizontal).toString(),
                     QString("审核人"));
            QVERIFY(Frmxsdresult->DBGrid1->columnWidth(7) > 0);
            QStringList criteria = printSheetOf(Frmxsdresult->reportTable()).headerLines;
            QCOMPARE(criteria.join("").contains("审核状态：" + choices[i]), i > 0);
            for (int row = 0; row < rows().RecordCount(); ++row)
                QVERIFY(rows().textAt(row, approver).empty() == (i == 2) || i == 0);
        }
        QCOMPARE(
            s->direct("select distinct xsdid from xsdview where shrname is not null and shrname<>''").size(),
            3);
        QCOMPARE(s->direct("select distinct xsdid from xsdview where shrname is null or shrname=''").size(),
                 27);
        s->execute(
            "update xsdtb set ischeck = false, shrname = null where xsdid in ('XS000007', 'XS000012', "
            "'XS000013')");
    }

    void theTotalsAreTheSumsOverTheRowsShown() {
        s->runListQuery([](TFrmxsdquery& f) {
            wholeRange(f);
            f.Edit6->setText("Y04");
        });
        QVERIFY(rows().RecordCount() > 1);
        QCOMPARE(MainForm->Session.ListTotalQuantity.toDouble(), sumOf(rows(), "quantity1"));
        QVERIFY(qAbs(MainForm->Session.ListTotalMoney.toDouble() - sumOf(rows(), "money1")) < 0.005);
        QCOMPARE(Frmxsdresult->Label1->text(), MainForm->Session.ListTotalQuantity);
        // The amount with two decimals, as the grid shows amounts.
        QCOMPARE(Frmxsdresult->Label2->text(),
                 QString::number(MainForm->Session.ListTotalMoney.toDouble(), 'f', 2));
        double direct = std::stod(s->scalar("select sum(money1) from xsdview where ywyid='Y04'"));
        QVERIFY(qAbs(MainForm->Session.ListTotalMoney.toDouble() - direct) < 0.005);
        // Summed from the rows fetched: no second query of the same rows went to the server.
        QCOMPARE(dm->ClientDataSetxsdview2.CommandText(),
                 std::string("select * from xsdview  where xsdid='1'"));
    }

    void aBoxHoldingABlankIsAFilledCriterion() {
        s->runListQuery([](TFrmxsdquery& f) {
            wholeRange(f);
            f.Edit5->setText(" ");
        });
        QVERIFY(rows().CommandText().ends_with(" and khid=' '"));
        QCOMPARE(rows().RecordCount(), 0);
    }

    void aBoundThatIsNoNumberIsRefusedAndNothingIsSent() {
        s->runListQuery([](TFrmxsdquery&) {});
        std::string rowsText = rows().CommandText();
        QString quantity = MainForm->Session.ListTotalQuantity;
        bool stayedOpen = false;
        s->showListQuery([&](TFrmxsdquery& f) {
            f.Edit5->setText("K001");
            f.Edit10->setText("12abc");
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
            stayedOpen = f.isVisible();
            QCOMPARE(f.Edit5->text(), QString("K001"));
            QCOMPARE(f.Edit10->text(), QString("12abc"));
            QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.Edit10));
        });
        QVERIFY(stayedOpen);
        QCOMPARE(s->shell.messages.texts(), QStringList({"金额下限“12abc”不是有效的数字，请重新输入。"}));
        QCOMPARE(s->shell.messages.boxes().front().caption, QString("Velmora系统"));
        QCOMPARE(rows().CommandText(), rowsText);
        QCOMPARE(MainForm->Session.ListTotalQuantity, quantity);
    }

    void aQuoteInACodeDoesNoHarm() {
        s->runListQuery([](TFrmxsdquery& f) {
            wholeRange(f);
            f.Edit5->setText("K001' or '1'='1");
            f.ComboBox1->setEditText("x'");
        });
        QCOMPARE(s->shell.messages.texts(), QStringList());
        QCOMPARE(rows().RecordCount(), 0);
        QCOMPARE(s->scalar("select count(*) from kh"), std::string("10"));
    }

    void anEmptySelectionShowsAnEmptyGridAndEmptyTotals() {
        s->runListQuery([](TFrmxsdquery& f) { f.Edit3->setText("ZZ"); });
        QVERIFY(Frmxsdresult);
        QCOMPARE(Frmxsdresult->DBGrid1->model()->rowCount(), 0);
        QCOMPARE(Frmxsdresult->Label1->text(), QString());
        QCOMPARE(Frmxsdresult->Label2->text(), QString());
        QVERIFY(!Frmxsdresult->DBNavigator1->button(DBNavigator::nbNext)->isEnabled());
    }

    void aSecondQueryWithTheWindowOpenShowsItsRowsAndTotals() {
        s->runListQuery(wholeRange);
        TFrmxsdresult* first = Frmxsdresult;
        QString allQuantity = first->Label1->text();
        s->runListQuery([](TFrmxsdquery& f) {
            wholeRange(f);
            f.Edit5->setText("K007");
        });
        QCOMPARE(Frmxsdresult, first);
        QCOMPARE(shown(), expected(kWholeRange + " and khid='K007'"));
        QCOMPARE(first->DBGrid1->model()->rowCount(), rows().RecordCount());
        QVERIFY(first->Label1->text() != allQuantity);
        QCOMPARE(first->Label1->text().toDouble(), sumOf(rows(), "quantity1"));
    }

    void theBoxesAreEmptiedAfterAQueryAndTheDatesKept() {
        s->runListQuery([](TFrmxsdquery& f) {
            f.dp1->setDate(QDate(2002, 11, 1));
            f.dp2->setDate(QDate(2003, 1, 31));
            f.Edit4->setText("XS000020");
            f.Edit9->setText("100");
            f.ComboBox1->setEditText("李出纳");
        });
        QCOMPARE(shown(), expected("rq>='2002-11-01' and rq<='2003-01-31' and xsdid<='XS000020' and "
                                   "quantity1<=100 and username='李出纳'"));
        QCOMPARE(Frmxsdquery->Edit4->text(), QString());
        QCOMPARE(Frmxsdquery->Edit9->text(), QString());
        QCOMPARE(Frmxsdquery->ComboBox1->currentText(), QString());
        QCOMPARE(Frmxsdquery->ComboBox1->count(), 0);
        s->showListQuery([](TFrmxsdquery& f) {
            QCOMPARE(f.dp1->date(), QDate(2002, 11, 1));
            QCOMPARE(f.dp2->date(), QDate(2003, 1, 31));
            QCOMPARE(f.ComboBox1->count(), 3);
            QCOMPARE(f.ComboBox1->currentText(), QString());
            f.dp1->setDate(QDate(2002, 12, 31));
            f.dp2->setDate(QDate(2002, 12, 31));
        });
    }

    void cancelQueriesNothingAndKeepsTheBoxes() {
        s->runListQuery([](TFrmxsdquery&) {});
        std::string rowsText = rows().CommandText();
        s->showListQuery([](TFrmxsdquery& f) {
            f.Edit7->setText("0100101");
            f.ComboBox1->setEditText("王会计");
            QTest::mouseClick(f.BitBtn2, Qt::LeftButton);
        });
        QCOMPARE(rows().CommandText(), rowsText);
        s->showListQuery([](TFrmxsdquery& f) {
            QCOMPARE(f.Edit7->text(), QString("0100101"));
            QCOMPARE(f.ComboBox1->currentText(), QString("王会计"));
            // Shown twice, the user list still names each user once.
            QCOMPARE(f.ComboBox1->count(), 3);
            f.Edit7->clear();
            f.ComboBox1->setEditText("");
        });
    }

    // 30,000 lines of one order dated 2010-06-01, outside the demo data's dates; removed after.
    void addLargeOrder() {
        s->execute(
            "insert into xsdtb (xsdid, khid, rq) values ('P0001', 'K001', '2010-06-01');"
            "insert into xsdzb (xsdid, chid, quantity1, price1, money1) "
            "with recursive n(x) as (select 1 union all select x + 1 from n where x < 30000) "
            "select 'P0001', '0100101', x % 7, 1.5, (x % 7) * 1.5 from n;");
    }
    void removeLargeOrder() {
        s->execute("delete from xsdzb where xsdid='P0001'; delete from xsdtb where xsdid='P0001';");
    }
    static void largeOrderDates(TFrmxsdquery& f) {
        f.dp1->setDate(QDate(2010, 6, 1));
        f.dp2->setDate(QDate(2010, 6, 1));
    }

    void aLargeListShowsItsFirstRowsAtOnceAndTheRestComeInWithTheTotals() {
        addLargeOrder();
        TFrmxsdresult::MostRowsAPart = 500;
        TFrmxsdresult::HoldBack = true;
        s->runListQuery(largeOrderDates);
        QVERIFY(Frmxsdresult && Frmxsdresult->Fetching());
        QCOMPARE(rows().RecordCount(), TFrmxsdresult::FirstPartRows);
        QVERIFY(Frmxsdresult->LabelFetch->isVisible());
        QVERIFY(Frmxsdresult->LabelFetch->text().startsWith("正在读取… 已读取 "));
        QVERIFY(!Frmxsdresult->Label1->isVisible());  // no totals before the last row
        // The window goes on painting and taking the keys meanwhile: the grid scrolls.
        QTest::keyClick(Frmxsdresult->DBGrid1, Qt::Key_Down);
        QCOMPARE(rows().RecNo(), 2);
        TFrmxsdresult::HoldBack = false;
        QTRY_VERIFY_WITH_TIMEOUT(!Frmxsdresult->Fetching(), 60000);
        QCOMPARE(rows().RecordCount(), 30000);
        QCOMPARE(rows().RecNo(), 2);
        QVERIFY(!Frmxsdresult->LabelFetch->isVisible());
        QVERIFY(Frmxsdresult->Label1->isVisible());
        QCOMPARE(MainForm->Session.ListTotalQuantity, QString("90000"));  // 4285 times 0+1+...+6, and 1+...+5
        QCOMPARE(Frmxsdresult->Label2->text(), QString("135000.00"));
        TFrmxsdresult::MostRowsAPart = 20000;
        removeLargeOrder();
    }

    void escapeStopsTheFetchTellsTheServerAndClosesTheWindow() {
        addLargeOrder();
        TFrmxsdresult::MostRowsAPart = 500;
        TFrmxsdresult::HoldBack = true;
        QString totalBefore = MainForm->Session.ListTotalMoney;
        s->runListQuery(largeOrderDates);
        QVERIFY(Frmxsdresult && Frmxsdresult->Fetching());
        TFrmxsdresult::HoldBack = false;  // it goes on filling in until Esc
        QTest::keyClick(Frmxsdresult->DBGrid1, Qt::Key_Escape);
        QVERIFY(!rows().Active());
        QTRY_VERIFY(!Frmxsdresult);
        // A part of the rows is never taken for the list: no totals were summed from it.
        QCOMPARE(MainForm->Session.ListTotalMoney, totalBefore);
        // The server forgot the result: the next query is served from its start.
        TFrmxsdresult::HoldBack = true;
        s->runListQuery(largeOrderDates);
        QVERIFY(Frmxsdresult);
        QCOMPARE(rows().FieldByName("xsdid").AsString(), std::string("P0001"));
        QVERIFY(Frmxsdresult->Fetching());
        QTest::mouseClick(Frmxsdresult->n_stop, Qt::LeftButton);
        QTRY_VERIFY(!Frmxsdresult);
        QVERIFY(!rows().Active());
        TFrmxsdresult::HoldBack = false;
        TFrmxsdresult::MostRowsAPart = 20000;
        removeLargeOrder();
    }

    void closingTheWindowClosesTheRows() {
        s->runListQuery([](TFrmxsdquery&) {});
        QVERIFY(rows().Active());
        QTest::mouseClick(Frmxsdresult->n_exit, Qt::LeftButton);
        QVERIFY(!rows().Active());
        QTRY_VERIFY(!Frmxsdresult);
    }
};

VELMORA_GUI_TEST_MAIN(ListQueryTest)
#include "ListQueryTest.moc"
