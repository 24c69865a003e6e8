// The customer, salesman and item pickers against the real velmora-server, alone and from the
// invoicing window.
#include <QLabel>
#include <QListWidget>
#include <QToolButton>

#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "sales/TFrmkhquery.h"
#include "sales/TFrmkp.h"
#include "sales/TFrmywyquery.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "tests/sales/SalesSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

using namespace velmora;
using velmora::test::SalesSession;
using velmora::test::whenModal;

namespace {

ClientSession& session() {
    return MainForm->Session;
}

void doubleClickEmptyPart(QListWidget* list) {
    QPoint below(10, list->viewport()->height() - 4);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
}

}  // namespace

class PickersTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;
    QStringList texts() const { return s->shell->messages.texts(); }

  private slots:
    void init() { s = std::make_unique<SalesSession>(); }
    void cleanup() { s.reset(); }

    void customerPickerListsEveryCustomerAndReturnsTheChosenCode() {
        s->executeElsewhere("insert into kh (khid, khname) values ('K 11', '空格客户'), ('K012', '')");
        session().PickedCustomerCode = "earlier";
        TFrmkhquery picker(nullptr, session());
        QCOMPARE(picker.windowTitle(), QString("客户代码查询 "));
        int result = -1;
        whenModal([&](QWidget*) {
            QCOMPARE(picker.ListBox1->count(), 12);
            QCOMPARE(picker.ListBox1->item(0)->text(),
                     QString::fromStdString("K001 " + s->scalar("select khname from kh where khid='K001'")));
            QCOMPARE(picker.ListBox1->item(11)->text(), QString("K012 "));
            QVERIFY(!dm->ClientDataSetkh.Active());
            // Nothing selected: a hint to select a line, and the dialog stays.
            doubleClickEmptyPart(picker.ListBox1);
            picker.BitBtn1->click();
            QTest::keyClick(picker.ListBox1, Qt::Key_Return);  // Enter presses OK
            QVERIFY(picker.isVisible());
            QCOMPARE(session().PickedCustomerCode, QString("earlier"));
            picker.ListBox1->setCurrentRow(10);
            doubleClickEmptyPart(picker.ListBox1);  // the selected line is the one chosen
        });
        result = picker.ShowModal();
        QCOMPARE(result, int(mrOk));
        QCOMPARE(session().PickedCustomerCode, QString("K"));
        QCOMPARE(texts(), QStringList(3, "请先在列表中选中一个客户。"));
        QCOMPARE(s->shell->messages.boxes().back().caption, QString("Velmora系统"));
        QVERIFY(picker.Label1->text().endsWith("再点击确定按钮也可以。"));

        whenModal([&](QWidget*) {
            picker.ListBox1->setCurrentRow(11);
            picker.BitBtn1->click();
        });
        QCOMPARE(picker.ShowModal(), int(mrOk));
        QCOMPARE(session().PickedCustomerCode, QString("K012"));
        whenModal([&](QWidget*) {
            picker.ListBox1->setCurrentRow(2);
            picker.BitBtn2->click();
        });
        QCOMPARE(picker.ShowModal(), int(mrCancel));
        QCOMPARE(session().PickedCustomerCode, QString("K012"));
    }

    void invoicingTakesThePickedCodesIntoTheCodeBoxesOnly() {
        TFrmkp& f = s->openInvoicing();
        SalesSession::click(f.n_insert);
        whenModal([](QWidget* dialog) {
            auto* picker = qobject_cast<TFrmkhquery*>(dialog);
            QVERIFY(picker);
            picker->ListBox1->setCurrentRow(4);
            picker->BitBtn1->click();
        });
        QTest::mouseDClick(f.DBEdit3, Qt::LeftButton);
        QCOMPARE(f.DBEdit3->text(), QString("K005"));
        QCOMPARE(f.DBEdit4->text(), QString());
        QCOMPARE(dm->ClientDataSetxsdtb.FieldByName("khid").AsString(), std::string("K005"));

        whenModal([](QWidget* dialog) {
            QCOMPARE(dialog, static_cast<QWidget*>(Frmywyquery));
            QCOMPARE(Frmywyquery->ListBox1->count(), 5);
            Frmywyquery->ListBox1->setCurrentRow(1);
            QTest::mouseDClick(
                Frmywyquery->ListBox1->viewport(), Qt::LeftButton, Qt::NoModifier,
                Frmywyquery->ListBox1->visualItemRect(Frmywyquery->ListBox1->item(1)).center());
        });
        QTest::mouseDClick(f.DBEdit5, Qt::LeftButton);
        QVERIFY(!Frmywyquery->isVisible());
        QCOMPARE(f.DBEdit5->text(), QString("Y02"));
        QCOMPARE(f.DBEdit6->text(), QString());
        QVERIFY(dm->ClientDataSetywy.Active());
        QCOMPARE(dm->ClientDataSetywy.RecordCount(), 5);

        // Cancelled, the salesman picker writes nothing.
        whenModal([](QWidget*) {
            Frmywyquery->ListBox1->setCurrentRow(3);
            Frmywyquery->BitBtn2->click();
        });
        QTest::mouseDClick(f.DBEdit5, Qt::LeftButton);
        QVERIFY(!Frmywyquery->chosenCode());
        QCOMPARE(f.DBEdit5->text(), QString("Y02"));
        QCOMPARE(texts(), QStringList());
    }

    void itemPickerReturnsTheSelectedRowsInDataSetOrderCutToTheirSlots() {
        const std::string longName = "一二三四五六七八九十一二三四五六七八九十一二三四五";
        s->executeElsewhere(
            "insert into ch (chflid, chid, chname, ggxh, jldw) values ('01-001', '010019999999', '" +
            longName + "', '特大号', '箱')");
        TFrmkp& f = s->openInvoicing();
        ClientDataSet& ch = dm->ClientDataSetch;
        QCOMPARE(ch.RecordCount(), 21);
        auto codeAt = [&ch](int row) { return ch.textAt(row, ch.FieldByName("chid").Index()); };

        session().PickedItems = {PickedItem{}};
        whenModal([](QWidget* dialog) {
            auto* picker = qobject_cast<TfrmClbm_Fzlr*>(dialog);
            QVERIFY(session().PickedItems.empty());
            for (int row : {5, 2, 9})
                QTest::mouseClick(
                    picker->DBGrid1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    picker->DBGrid1->visualRect(picker->DBGrid1->model()->index(row, 1)).center());
            picker->BitBtn1->click();
        });
        TfrmClbm_Fzlr picker(session());
        QCOMPARE(picker.ShowModal(), int(mrOk));
        QCOMPARE(session().PickedItems.size(), size_t(3));
        QCOMPARE(session().PickedItems[0].chid, codeAt(2));
        QCOMPARE(session().PickedItems[1].chid, codeAt(5));
        QCOMPARE(session().PickedItems[2].chid, codeAt(9));

        whenModal([](QWidget* dialog) {
            auto* p = qobject_cast<TfrmClbm_Fzlr*>(dialog);
            p->DBGrid1->selectRow(1);
            p->BitBtn2->click();
        });
        TfrmClbm_Fzlr cancelled(session());
        QCOMPARE(cancelled.ShowModal(), int(mrCancel));
        QVERIFY(session().PickedItems.empty());

        // The long item reaches the order line cut to 11 bytes of code and 20 characters of name.
        int longRow = -1;
        for (int row = 0; row < ch.RecordCount(); ++row)
            if (codeAt(row) == "010019999999") longRow = row;
        QVERIFY(longRow >= 0);
        SalesSession::click(f.n_insert);
        test::typeText(f.DBEdit1, "XS900101");
        s->addLines({longRow});
        QCOMPARE(dm->ClientDataSetxsdzb.FieldByName("chid").AsString(), std::string("01001999999"));
        SalesSession::click(f.n_save);
        QCOMPARE(s->scalar("select chid || '|' || chname || '|' || ggxh || '|' || jldw from xsdzb where "
                           "xsdid='XS900101'"),
                 "01001999999|一二三四五六七八九十一二三四五六七八九十|特大号|箱");

        // No row selected: nothing added, nothing said.
        SalesSession::click(f.n_edit);
        s->addLines({});
        QCOMPARE(dm->ClientDataSetxsdzb.RecordCount(), 1);
        QCOMPARE(texts(), QStringList());
        SalesSession::click(f.n_cancel);
    }
};

VELMORA_GUI_TEST_MAIN(PickersTest)
#include "PickersTest.moc"
