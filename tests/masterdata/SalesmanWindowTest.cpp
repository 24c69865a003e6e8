// The salesman window against the real server: its save is not guarded, so a refusal reaches the
// error display; otherwise as the customer window.
#include <QLabel>
#include <memory>

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmywy.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

using namespace velmora;
using velmora::test::press;

class SalesmanWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;
    TFrmywy* w = nullptr;

    bool inEditState() const {
        MaintenanceBar* b = w->Panel1;
        return w->DBEdits[0]->isEnabled() && w->DBEdits[3]->isEnabled() &&
               w->DBEdits[3]->Color() == clWindow() && b->n_save->isEnabled() && b->n_cancel->isEnabled() &&
               !b->n_insert->isEnabled() && !b->n_exit->isEnabled() && !w->DBGrid1->isEnabled();
    }
    bool inBrowseState() const {
        MaintenanceBar* b = w->Panel1;
        return !w->DBEdits[0]->isEnabled() && !w->DBEdits[3]->isEnabled() &&
               w->DBEdits[3]->Color() == clInfoBk() && !b->n_save->isEnabled() && !b->n_cancel->isEnabled() &&
               b->n_insert->isEnabled() && b->n_edit->isEnabled() && b->n_delete->isEnabled() &&
               b->n_refresh->isEnabled() && b->n_exit->isEnabled() && !w->DBGrid1->isEnabled();
    }

  private slots:
    void init() {
        s = std::make_unique<test::MasterDataSession>();
        w = s->open(Frmywy);
    }
    void cleanup() {
        s.reset();
        w = nullptr;
    }

    void opensOnEverySalesmanWithShortTitles() {
        QCOMPARE(w->Caption(), QStringLiteral("业务员档案"));
        QVERIFY(inBrowseState());
        QCOMPARE(w->DBEdits.size(), size_t(4));
        QCOMPARE(w->DBGrid1->model()->rowCount(), 5);
        QCOMPARE(w->DBGrid1->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("电话"));
        QCOMPARE(w->DBGrid1->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("地址"));
        QCOMPARE(w->Labels[3]->text(), QStringLiteral("联系地址："));
    }

    void addChangeAndDeleteReachTheServer() {
        press(w->Panel1->n_insert);
        QVERIFY(inEditState());
        test::typeText(w->DBEdits[0], QStringLiteral("Y06"));
        test::typeText(w->DBEdits[1], QStringLiteral("赵六"));
        press(w->Panel1->n_save);
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));
        QVERIFY(inBrowseState());
        QCOMPARE(s->server.scalar("select ywyname from ywy where ywyid = 'Y06'"), std::string("赵六"));

        press(w->Panel1->n_edit);
        test::typeText(w->DBEdits[3], QStringLiteral("西溪路6号"));
        press(w->Panel1->n_save);
        QCOMPARE(s->server.scalar("select address from ywy where ywyid = 'Y06'"), std::string("西溪路6号"));

        press(w->Panel1->n_delete);
        QVERIFY(s->messages.boxes().empty());
        QCOMPARE(s->count("select count(*) from ywy where ywyid = 'Y06'"), 0);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 5);
    }

    void refusedSaveReachesTheErrorDisplayAndDiscardReturnsToBrowse() {
        press(w->Panel1->n_insert);
        test::typeText(w->DBEdits[0], QStringLiteral("Y03"));
        test::typeText(w->DBEdits[1], QStringLiteral("重号"));
        press(w->Panel1->n_save);
        QCOMPARE(s->messages.boxes().size(), size_t(1));
        QCOMPARE(s->lastBox().icon, MessageIcon::Error);
        QVERIFY(!s->lastBox().text.contains(QStringLiteral("客户编号")));
        QVERIFY(inEditState());
        press(w->Panel1->n_cancel);
        QVERIFY(inBrowseState());
        QCOMPARE(dm->ClientDataSetywy.ChangeCount(), 0);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 5);
        QCOMPARE(s->server.scalar("select ywyname from ywy where ywyid = 'Y03'"), std::string("王强"));
    }

    void opensWithThePickersQuery() {
        s->close(w);
        QVERIFY(!dm->ClientDataSetywy.Active());
        dm->ClientDataSetywy.setCommandText("select * from ywy");
        dm->ClientDataSetywy.Open();
        w = s->open(Frmywy);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 5);
    }

    void enterMovesFromCodeToAddress() {
        press(w->Panel1->n_insert);
        w->activateWindow();
        w->DBEdits[0]->setFocus();
        for (size_t i = 0; i < 3; ++i) {
            QTest::keyClick(w->DBEdits[i], Qt::Key_Return);
            QTRY_VERIFY(w->DBEdits[i + 1]->hasFocus());
        }
        QTest::keyClick(w->DBEdits[3], Qt::Key_Return);
        QVERIFY(w->DBEdits[3]->hasFocus());
    }
};

VELMORA_GUI_TEST_MAIN(SalesmanWindowTest)
#include "SalesmanWindowTest.moc"
