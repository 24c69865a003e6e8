// The invoicing window against the real velmora-server: orders entered, saved, refused,
// cancelled and deleted, the look-ups, and the amounts derived in the line grid.
#include <QLineEdit>
#include <QToolButton>

#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "sales/TFrmkp.h"
#include "tests/sales/SalesSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/DataSetModel.h"
#include "widgets/DatePicker.h"

using namespace velmora;
using velmora::test::SalesSession;

namespace {

// A notice when the order being entered is posted: the number check is done, the save not yet.
class AfterNumberCheck : public DataSetObserver {
  public:
    explicit AfterNumberCheck(std::function<void()> action) : action_(std::move(action)) {
        dm->ClientDataSetxsdtb.addObserver(this);
    }
    ~AfterNumberCheck() override { dm->ClientDataSetxsdtb.removeObserver(this); }
    void stateChanged(ClientDataSet& ds) override {
        if (ds.State() == DataSetState::Browse && action_) std::exchange(action_, nullptr)();
    }

  private:
    std::function<void()> action_;
};

QString cell(DBGrid* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

}  // namespace

class InvoicingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;

    QStringList texts() const { return s->shell->messages.texts(); }
    QString orders() const { return QString::fromStdString(s->scalar("select count(*) from xsdtb")); }
    QString lines() const { return QString::fromStdString(s->scalar("select count(*) from xsdzb")); }
    // Starts a new order with this number, the keyboard's way: type, Enter.
    void startOrder(TFrmkp& f, const QString& number) {
        SalesSession::click(f.n_insert);
        test::typeText(f.DBEdit1, number);
        QTest::keyClick(f.DBEdit1, Qt::Key_Return);
    }

  private slots:
    void init() { s = std::make_unique<SalesSession>(); }
    void cleanup() { s.reset(); }

    void newOrderFromTheKeyboardAndThePickerIsStoredWithExactAmounts() {
        TFrmkp& f = s->openInvoicing();
        QVERIFY(f.n_insert->isEnabled() && !f.n_save->isEnabled() && f.DBGrid1->ReadOnly());
        SalesSession::click(f.n_insert);
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBEdit1));
        QCOMPARE(f.DBEdit7->text(), QString("管理员"));
        QCOMPARE(f.DBEdit2->text(), todayText());
        QVERIFY(f.DBEdit1->isEnabled() && !f.n_exit->isEnabled() && !f.DBGrid1->ReadOnly());

        test::typeText(f.DBEdit1, "XS900001");
        QTest::keyClick(f.DBEdit1, Qt::Key_Return);
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBEdit2));
        QTest::keyClick(f.DBEdit2, Qt::Key_Return);
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBEdit3));
        test::typeText(f.DBEdit3, "K002");
        QTest::keyClick(f.DBEdit3, Qt::Key_Return);
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBEdit5));
        QVERIFY(!f.DBEdit4->text().isEmpty());
        test::typeText(f.DBEdit5, "Y03");
        QTest::keyClick(f.DBEdit5, Qt::Key_Return);
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBGrid1));
        QVERIFY(!f.DBEdit6->text().isEmpty());

        s->addLines({0, 3, 5});
        QTRY_COMPARE(f.DBGrid1->model()->rowCount(), 3);
        const QString quantities[] = {"3", "0.125", "1.005"};
        const QString prices[] = {"2.5", "1", "1"};
        for (int row = 0; row < 3; ++row) {
            SalesSession::typeCell(f.DBGrid1, row, 4, quantities[row]);
            QCOMPARE(f.DBGrid1->SelectedIndex(), 5);
            SalesSession::typeCell(f.DBGrid1, row, 5, prices[row]);
            QCOMPARE(f.DBGrid1->SelectedIndex(), 6);
        }
        // Amounts show two decimals; the grid stores the number.
        QCOMPARE(cell(f.DBGrid1, 0, 6), QString("7.50"));
        QCOMPARE(dm->ClientDataSetxsdzb.textAt(0, dm->ClientDataSetxsdzb.FieldByName("money1").Index()),
                 std::string("7.5"));
        QCOMPARE(f.DBGrid1->model()->index(0, 6).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                 int(Qt::AlignRight));
        QCOMPARE(cell(f.DBGrid1, 1, 6), QString("0.13"));
        QCOMPARE(cell(f.DBGrid1, 2, 6), QString("1.01"));
        // Amount 10 typed for 3: the price follows, and the cursor goes back to the price.
        SalesSession::typeCell(f.DBGrid1, 0, 6, "10");
        QCOMPARE(cell(f.DBGrid1, 0, 5), QString("3.33"));
        QCOMPARE(f.DBGrid1->SelectedIndex(), 5);

        SalesSession::click(f.n_save);
        QCOMPARE(texts(), QStringList());
        QVERIFY(!f.DBEdit1->isEnabled() && !f.DBEdit2->isEnabled() && f.n_insert->isEnabled());
        QVERIFY(f.DBGrid1->ReadOnly());
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);

        QCOMPARE(s->scalar("select khid || '|' || ywyid || '|' || username || '|' || rq from xsdtb where "
                           "xsdid='XS900001'"),
                 "K002|Y03|管理员|" + todayText().toStdString());
        std::string khname = s->scalar("select khname from kh where khid='K002'");
        QCOMPARE(s->scalar("select khname from xsdtb where xsdid='XS900001'"), khname);
        // Thousandths of quantities, cents of prices and amounts: the same text on every database.
        QCOMPARE(
            s->query("select xsdid || '|' || cast(round(quantity1 * 1000) as integer) || '|' || "
                     "cast(round(price1 * 100) as integer) || '|' || cast(round(money1 * 100) as integer) "
                     "from xsdzb where xsdid='XS900001' order by money1"),
            (std::vector<std::string>{"XS900001|125|100|13", "XS900001|1005|100|101",
                                      "XS900001|3000|333|1000"}));
        QCOMPARE(
            s->scalar("select count(*) from xsdzb where xsdid='XS900001' and money1 in (0.13, 1.01, 10.0)"),
            std::string("3"));
        QCOMPARE(s->scalar("select count(*) || '|' || cast(round(sum(money1) * 100) as integer) from xsdview "
                           "where xsdid='XS900001' and khname is not null and chname is not null"),
                 "3|1114");
    }

    void escInAnOpenCellDropsTheCellNotTheOrder() {
        TFrmkp& f = s->openInvoicing();
        startOrder(f, "XS700001");
        s->addLines({0});
        QTRY_COMPARE(f.DBGrid1->model()->rowCount(), 1);
        // Keys act in the active window; the picker's closing left none active here.
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        QModelIndex quantity = f.DBGrid1->model()->index(0, 4);
        f.DBGrid1->setCurrentIndex(quantity);
        f.DBGrid1->edit(quantity);
        QLineEdit* editor = nullptr;
        QTRY_VERIFY((editor = f.DBGrid1->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
        editor->setFocus();
        test::typeText(editor, "7");
        // 放弃's key is Esc too: in a cell being edited it reverts that cell alone.
        QTest::keySequence(editor, QKeySequence(Qt::Key_Escape));
        QTRY_VERIFY(!editor->isVisible());
        QTest::keySequence(f.DBGrid1, QKeySequence(Qt::CTRL | Qt::Key_S));
        QTRY_VERIFY(!f.editingOrder());
        QCOMPARE(QString::fromStdString(s->scalar("select count(*) from xsdzb where xsdid = 'XS700001'")),
                 QString("1"));
    }

    void duplicateNumberIsRefusedWithNothingSentAndAnotherNumberGoesThrough() {
        TFrmkp& f = s->openInvoicing();
        QString before = lines();
        startOrder(f, "XS000001");
        s->addLines({1});
        SalesSession::click(f.n_save);
        QCOMPARE(texts(), QStringList({"销售发票号重复"}));
        QCOMPARE(s->shell->messages.boxes().front().caption, QString("Velmora系统"));
        QCOMPARE(orders(), QString("30"));
        QCOMPARE(lines(), before);
        // Still entering the order, with everything typed.
        QVERIFY(f.DBEdit1->isEnabled() && f.n_save->isEnabled());
        QCOMPARE(dm->ClientDataSetxsdtb.State(), DataSetState::Insert);

        f.DBEdit1->setFocus();
        f.DBEdit1->selectAll();
        test::typeText(f.DBEdit1, "XS900002");
        SalesSession::click(f.n_save);
        QCOMPARE(texts(), QStringList({"销售发票号重复"}));
        QCOMPARE(orders(), QString("31"));
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid='XS900002'"), std::string("1"));
    }

    void numberTakenElsewhereAfterTheCheckIsReportedAndNothingIsHalfStored() {
        TFrmkp& f = s->openInvoicing();
        startOrder(f, "XS900003");
        s->addLines({0, 1});
        AfterNumberCheck race(
            [this] { s->executeElsewhere("insert into xsdtb (xsdid, khid) values ('XS900003', 'K010')"); });
        SalesSession::click(f.n_save);
        QCOMPARE(texts(), QStringList({"提交时产生1条错误!"}));
        QCOMPARE(s->shell->messages.boxes().front().icon, MessageIcon::None);
        QCOMPARE(s->scalar("select khid from xsdtb where xsdid='XS900003'"), std::string("K010"));
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid='XS900003'"), std::string("0"));
        // Back to browsing; the order that failed is still pending in the log.
        QVERIFY(f.n_insert->isEnabled() && !f.DBEdit1->isEnabled());
        QVERIFY(dm->ClientDataSetxsdtb.ChangeCount() > 0);
    }

    void anApprovedOrderCanBeNeitherModifiedNorDeleted() {
        TFrmkp& f = s->openInvoicing();
        QVERIFY(SalesSession::gotoOrder("XS000004"));
        SalesSession::click(f.n_edit);
        QCOMPARE(texts(), QStringList({"此单据已审核，不能编辑"}));
        QCOMPARE(s->shell->messages.boxes().front().caption, QString());
        QVERIFY(!f.DBEdit2->isEnabled() && f.n_edit->isEnabled());
        QCOMPARE(dm->ClientDataSetxsdtb.State(), DataSetState::Browse);

        std::string lines = s->scalar("select count(*) from xsdzb where xsdid='XS000004'");
        QVERIFY(lines != "0");
        SalesSession::click(f.n_delete);
        QCOMPARE(texts(), QStringList({"此单据已审核，不能编辑", "此单据已审核，不能删除"}));
        QCOMPARE(s->scalar("select count(*) from xsdtb where xsdid='XS000004'"), std::string("1"));
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid='XS000004'"), lines);
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);
        QCOMPARE(dm->ClientDataSetxsdtb.FieldByName("xsdid").AsString(), std::string("XS000004"));
    }

    void deletingAnOrderSavedSinceTheWindowOpenedLeavesNoLineBehind() {
        TFrmkp& f = s->openInvoicing();
        startOrder(f, "XS900004");
        s->addLines({2, 4});
        SalesSession::click(f.n_save);
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid='XS900004'"), std::string("2"));
        QVERIFY(SalesSession::gotoOrder("XS900004"));
        SalesSession::click(f.n_delete);
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid='XS900004'"), std::string("0"));
        QCOMPARE(s->scalar("select count(*) from xsdtb where xsdid='XS900004'"), std::string("0"));
        QVERIFY(!dm->ClientDataSetxsdzb2.Active());
    }

    void cancelAfterAddingLinesLeavesNothingOnTheServer() {
        TFrmkp& f = s->openInvoicing();
        QString before = lines();
        startOrder(f, "XS900005");
        s->addLines({0, 1, 2});
        QCOMPARE(f.DBGrid1->model()->rowCount(), 3);
        SalesSession::typeCell(f.DBGrid1, 0, 4, "2");
        // A cell still open when the order is dropped is dropped with it.
        f.DBGrid1->edit(f.DBGrid1->model()->index(1, 4));
        SalesSession::click(f.n_cancel);
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);
        QCOMPARE(dm->ClientDataSetxsdtb.State(), DataSetState::Browse);
        QCOMPARE(dm->ClientDataSetxsdtb.RecordCount(), 30);
        QVERIFY(!f.DBEdit1->isEnabled() && f.DBGrid1->ReadOnly() && f.n_exit->isEnabled());
        QCOMPARE(orders(), QString("30"));
        QCOMPARE(lines(), before);
        // Nothing is pending that a later save of another order could carry.
        QVERIFY(SalesSession::gotoOrder("XS000002"));
        SalesSession::click(f.n_edit);
        SalesSession::click(f.n_save);
        QCOMPARE(orders(), QString("30"));
        QCOMPARE(texts(), QStringList());
    }

    void anItemStoredInTheOrderIsRefusedAfterSaveAndModify() {
        TFrmkp& f = s->openInvoicing();
        startOrder(f, "XS900006");
        s->addLines({0});
        s->addLines({0});  // twice before a save: nothing stored yet to compare with
        QCOMPARE(f.DBGrid1->model()->rowCount(), 2);
        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f.n_deleteone);
        QCOMPARE(f.DBGrid1->model()->rowCount(), 1);
        SalesSession::click(f.n_save);
        QString stored = QString::fromStdString(s->scalar("select chid from xsdzb where xsdid='XS900006'"));

        QVERIFY(SalesSession::gotoOrder("XS900006"));
        SalesSession::click(f.n_edit);
        QVERIFY(!f.DBEdit1->isEnabled() && f.DBEdit2->isEnabled());
        s->addLines({0, 1, 2});
        QCOMPARE(texts(), QStringList({"请确认是否要删除", "已有存货编号为" + stored + "的物资"}));
        QCOMPARE(f.DBGrid1->model()->rowCount(), 3);
        SalesSession::click(f.n_save);
        QCOMPARE(
            s->scalar("select count(distinct chid) || '/' || count(*) from xsdzb where xsdid='XS900006'"),
            std::string("3/3"));
        // The checks asked the server about this one order: the window holds no copy of every
        // stored order or line.
        QVERIFY(!dm->ClientDataSetxsdzb2.Active() && !dm->ClientDataSetxsdtb2.Active());
    }

    void everyLineCarriesTheNumberTypedAfterItWasAdded() {
        TFrmkp& f = s->openInvoicing();
        SalesSession::click(f.n_insert);
        s->addLines({0, 1});
        // A line made with the grid's own Insert key, its item typed by hand.
        f.DBGrid1->setFocus();
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(0, 0));
        QTest::keyClick(f.DBGrid1, Qt::Key_Insert);
        QCOMPARE(f.DBGrid1->model()->rowCount(), 3);
        SalesSession::typeCell(f.DBGrid1, 0, 0, "0100101");
        test::typeText(f.DBEdit1, "XS900007");
        SalesSession::click(f.n_save);
        QCOMPARE(texts(), QStringList());
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid='XS900007'"), std::string("3"));
        QCOMPARE(s->scalar("select count(*) from xsdzb where xsdid is null or xsdid=''"), std::string("0"));
    }

    void lookUpsFillTheNameOrClearTheUnknownCode() {
        TFrmkp& f = s->openInvoicing();
        SalesSession::click(f.n_insert);
        f.DBEdit3->setFocus();
        test::typeText(f.DBEdit3, "K'99");
        QTest::keyClick(f.DBEdit3, Qt::Key_Return);
        QCOMPARE(texts(), QStringList({"你输入的客户代码不正确"}));
        QCOMPARE(s->shell->messages.boxes().back().caption, QString("错误"));
        QCOMPARE(s->shell->messages.boxes().back().icon, MessageIcon::Error);
        QCOMPARE(f.DBEdit3->text(), QString());
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBEdit3));

        test::typeText(f.DBEdit3, "K001");
        QTest::keyClick(f.DBEdit3, Qt::Key_Return);
        QCOMPARE(f.DBEdit4->text(),
                 QString::fromStdString(s->scalar("select khname from kh where khid='K001'")));
        QCOMPARE(dm->ClientDataSetxsdtb.FieldByName("khname").AsString(), f.DBEdit4->text().toStdString());
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBEdit5));

        test::typeText(f.DBEdit5, "Y99");
        QTest::keyClick(f.DBEdit5, Qt::Key_Return);
        QCOMPARE(texts().back(), QString("你输入的业务员代码不正确"));
        QCOMPARE(f.DBEdit5->text(), QString());
        test::typeText(f.DBEdit5, "Y02");
        QTest::keyClick(f.DBEdit5, Qt::Key_Return);
        QCOMPARE(f.DBEdit6->text(),
                 QString::fromStdString(s->scalar("select ywyname from ywy where ywyid='Y02'")));
        QCOMPARE(f.focusWidget(), static_cast<QWidget*>(f.DBGrid1));
        // The salesman row stays in the customer dataset until it is queried again.
        QVERIFY(dm->ClientDataSetkh.FindField("ywyname") != nullptr);
        QCOMPARE(dm->ClientDataSetkh.RecordCount(), 1);
    }

    void amountsNeedTheirValuesAndANonZeroQuantity() {
        TFrmkp& f = s->openInvoicing();
        startOrder(f, "XS900008");
        s->addLines({0});
        SalesSession::typeCell(f.DBGrid1, 0, 5, "4");  // price, without a quantity
        QCOMPARE(texts(), QStringList({"数量和单价都要有值才能计算金额。"}));
        QCOMPARE(cell(f.DBGrid1, 0, 6), QString());
        QCOMPARE(f.DBGrid1->SelectedIndex(), 5);
        SalesSession::typeCell(f.DBGrid1, 0, 4, "0");
        SalesSession::typeCell(f.DBGrid1, 0, 6, "9");
        QCOMPARE(texts().back(), QString("数量为0，不能由金额计算单价。"));
        QCOMPARE(cell(f.DBGrid1, 0, 5), QString("4.00"));
        QCOMPARE(f.DBGrid1->SelectedIndex(), 6);
        // Tab leaves the price without deriving the amount.
        SalesSession::typeCell(f.DBGrid1, 0, 4, "-0.125");
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(0, 5));
        QTest::keyClick(f.DBGrid1, Qt::Key_Tab);
        QCOMPARE(cell(f.DBGrid1, 0, 6), QString("9.00"));
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(0, 5));
        SalesSession::typeCell(f.DBGrid1, 0, 5, "1");
        QCOMPARE(cell(f.DBGrid1, 0, 6), QString("-0.13"));
    }

    void noRecordMessagesPrintAndTheStatesOfTheButtons() {
        TFrmkp& f = s->openInvoicing();
        // Printing a stored order shows its preview and says nothing.
        QString preview;
        test::whenModal([&preview](QWidget* dialog) {
            preview = dialog->metaObject()->className();
            dialog->close();
        });
        SalesSession::click(f.n_print);
        QCOMPARE(preview, QString("QPrintPreviewDialog"));
        QVERIFY(texts().isEmpty());
        QVERIFY(!f.n_insertone->isEnabled());
        f.n_insertoneClick();  // as a stale click would reach it
        QCOMPARE(texts().back(), QString("请在添加或编辑状态下添加物资"));
        SalesSession::click(f.n_insert);
        QVERIFY(!f.DBNavigator1->isEnabled());
        SalesSession::click(f.n_deleteone);
        QCOMPARE(texts().back(), QString("没有记录可删除"));
        SalesSession::click(f.n_cancel);
        QVERIFY(f.DBNavigator1->isEnabled());
        // The window's own close drops a pending order without a question.
        SalesSession::click(f.n_insert);
        s->addLines({0});
        Frmkp->Close();
        QTRY_VERIFY(!Frmkp);
        QCOMPARE(orders(), QString("30"));
        QVERIFY(!dm->ClientDataSetxsdtb.Active() && !dm->ClientDataSetch.Active());
    }
};

VELMORA_GUI_TEST_MAIN(InvoicingTest)
#include "InvoicingTest.moc"
