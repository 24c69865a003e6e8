// The customer window against the real server: states, a guarded save that names the probable
// cause, immediate deletes, and the full list whatever query ran through the dataset before.
#include <QLabel>
#include <memory>

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmkh.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/Panel.h"

using namespace velmora;
using velmora::test::press;

class CustomerWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;
    TFrmkh* w = nullptr;

    bool boxesEnabled(bool enabled) const {
        for (DBEdit* box : w->DBEdits)
            if (box->isEnabled() != enabled || box->Color() != (enabled ? clWindow() : clInfoBk()))
                return false;
        return true;
    }
    bool inEditState() const {
        MaintenanceBar* b = w->Panel1;
        return boxesEnabled(true) && b->n_save->isEnabled() && b->n_cancel->isEnabled() &&
               !b->n_insert->isEnabled() && !b->n_edit->isEnabled() && !b->n_delete->isEnabled() &&
               !b->n_refresh->isEnabled() && !b->n_exit->isEnabled() && !w->DBGrid1->isEnabled();
    }
    bool inBrowseState() const {
        MaintenanceBar* b = w->Panel1;
        return boxesEnabled(false) && !b->n_save->isEnabled() && !b->n_cancel->isEnabled() &&
               b->n_insert->isEnabled() && b->n_edit->isEnabled() && b->n_delete->isEnabled() &&
               b->n_refresh->isEnabled() && b->n_exit->isEnabled() && !w->DBGrid1->isEnabled();
    }
    void typeCustomer(const QString& code, const QString& name) {
        test::typeText(w->DBEdits[0], code);
        test::typeText(w->DBEdits[1], name);
    }

  private slots:
    void init() {
        s = std::make_unique<test::MasterDataSession>();
        // Another window's single-row query is still in the dataset.
        dm->ClientDataSetkh.setCommandText("select * from kh where khid = 'K003'");
        w = s->open(Frmkh);
    }
    void cleanup() {
        s.reset();
        w = nullptr;
    }

    void opensOnEveryCustomerInBrowseState() {
        QCOMPARE(w->Caption(), QStringLiteral("客户档案"));
        QVERIFY(inBrowseState());
        QCOMPARE(w->DBGrid1->model()->rowCount(), 10);
        QCOMPARE(w->DBGrid1->model()->columnCount(), 6);
        QCOMPARE(w->DBGrid1->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("帐号"));
        QCOMPARE(w->Labels[5]->text(), QStringLiteral("税号："));
        QCOMPARE(w->Panel3->height(), 140);
        QCOMPARE(w->DBEdits[0]->text(), QStringLiteral("K001"));
        QVERIFY(w->isMaximizedWindow());
    }

    void addedCustomerIsStoredAndStaysCurrentAtTheEnd() {
        press(w->Panel1->n_insert);
        QVERIFY(inEditState());
        typeCustomer(QStringLiteral("K011"), QStringLiteral("新客户"));
        test::typeText(w->DBEdits[5], QStringLiteral("330100000000011"));
        press(w->Panel1->n_save);
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));
        QVERIFY(inBrowseState());
        QCOMPARE(dm->ClientDataSetkh.RecNo(), 11);
        QCOMPARE(w->DBEdits[0]->text(), QStringLiteral("K011"));
        QCOMPARE(s->server.scalar("select tax from kh where khid = 'K011'"), std::string("330100000000011"));

        press(w->Panel1->n_edit);
        w->DBEdits[2]->clear();
        test::typeText(w->DBEdits[2], QStringLiteral("0571-1"));
        press(w->Panel1->n_save);
        QCOMPARE(s->server.scalar("select tel from kh where khid = 'K011'"), std::string("0571-1"));
    }

    void duplicateCodeAsksAboutItAndDiscardReturnsToBrowse() {
        press(w->Panel1->n_insert);
        typeCustomer(QStringLiteral("K002"), QStringLiteral("重号客户"));
        press(w->Panel1->n_save);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("客户编号有无重复？")}));
        QCOMPARE(s->lastBox().icon, MessageIcon::None);
        QVERIFY(inEditState());
        press(w->Panel1->n_cancel);
        QVERIFY(inBrowseState());
        QCOMPARE(dm->ClientDataSetkh.ChangeCount(), 0);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 10);
        QCOMPARE(s->count("select count(*) from kh"), 10);
        QCOMPARE(s->server.scalar("select khname from kh where khid = 'K002'") == "重号客户", false);
    }

    void deleteIsImmediate() {
        press(w->Panel1->n_delete);
        QVERIFY(s->messages.boxes().empty());
        QCOMPARE(s->count("select count(*) from kh where khid = 'K001'"), 0);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 9);
        QVERIFY(inBrowseState());
    }

    void refreshShowsWhatAnotherWorkstationAdded() {
        s->executeElsewhere("insert into kh (khid, khname) values ('K099', '别处客户')");
        press(w->Panel1->n_refresh);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 11);
    }

    void enterMovesThroughTheBoxesButTheLast() {
        press(w->Panel1->n_insert);
        w->activateWindow();
        w->DBEdits[0]->setFocus();
        for (size_t i = 0; i + 1 < w->DBEdits.size(); ++i) {
            QTest::keyClick(w->DBEdits[i], Qt::Key_Return);
            QTRY_VERIFY(w->DBEdits[i + 1]->hasFocus());
        }
        QTest::keyClick(w->DBEdits.back(), Qt::Key_Return);
        QVERIFY(w->DBEdits.back()->hasFocus());
    }

    void closingClosesTheDataset() {
        s->close(w);
        QVERIFY(!Frmkh);
        QVERIFY(!dm->ClientDataSetkh.Active());
    }
};

VELMORA_GUI_TEST_MAIN(CustomerWindowTest)
#include "CustomerWindowTest.moc"
