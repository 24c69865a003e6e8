// Windows that share the data module's datasets, against the real server: closing one window
// leaves every other open window working, and the item picker offers every item whatever the
// item window left on the shared item dataset.
#include <QLabel>
#include <memory>

#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "sales/TFrmkp.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/DBGrid.h"
#include "widgets/FolderTreeView.h"

using namespace velmora;
using velmora::test::clickNode;
using velmora::test::findNode;
using velmora::test::press;

class SharedDataSetsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;

    static QStringList topLevelTexts(TFrmchfl* w) { return test::childTexts(w->RootNode()); }

    // The number of items the picker offers, opened with 增行 of an order being entered.
    int itemsOffered(TFrmkp* kp) {
        int offered = -1;
        test::whenModal([&offered](QWidget* dialog) {
            auto* picker = qobject_cast<TfrmClbm_Fzlr*>(dialog);
            QVERIFY(picker);
            offered = picker->DBGrid1->model()->rowCount();
            picker->BitBtn2->click();
        });
        press(kp->n_insertone);
        return offered;
    }

  private slots:
    void init() { s = std::make_unique<test::MasterDataSession>(); }
    void cleanup() { s.reset(); }

    void closingTheItemWindowLeavesTheCategoryWindowWorking() {
        TFrmchfl* categories = s->open(Frmchfl);
        const QStringList before = topLevelTexts(categories);
        QCOMPARE(before.size(), 3);
        TFrmch* items = s->open(Frmch);
        clickNode(items->TreeView1, findNode(items->TreeView1, QStringLiteral("(01-001)")));
        press(items->Panel1->n_exit);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QVERIFY(!Frmch);

        // Brought forward again: the rows are still there, the tree as it was, nothing said.
        s->open(Frmchfl);
        QVERIFY(dm->ClientDataSetchfl.Active());
        QCOMPARE(topLevelTexts(categories), before);
        QCOMPARE(categories->StatusPanel0->text(), QString());
        press(categories->Panel1->n_refresh);
        QCOMPARE(topLevelTexts(categories), before);
        QCOMPARE(categories->DBGrid1->model()->rowCount(), 10);
        clickNode(categories->TreeView1, findNode(categories->TreeView1, QStringLiteral("(02-001)")));
        QCOMPARE(dm->ClientDataSetchfl.FieldByName("chflid").AsString(), std::string("02-001"));
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));

        // The last window to go closes the rows.
        s->close(categories);
        QVERIFY(!dm->ClientDataSetchfl.Active());
        QVERIFY(!dm->ClientDataSetch.Active());
    }

    void aTreeThatCannotBeBuiltStaysAsItWasAndTheStatusClears() {
        TFrmchfl* categories = s->open(Frmchfl);
        const QStringList before = topLevelTexts(categories);
        ClientDataSet closed("closed");
        QVERIFY_THROWS_EXCEPTION(std::exception, categories->BuildTree(closed));
        QCOMPARE(topLevelTexts(categories), before);
        QCOMPARE(categories->StatusPanel0->text(), QString());
    }

    void activatingTheCategoryWindowKeepsItsTree() {
        TFrmchfl* categories = s->open(Frmchfl);
        QTreeWidgetItem* node = findNode(categories->TreeView1, QStringLiteral("(03)"));
        clickNode(categories->TreeView1, node);
        s->open(Frmch);
        s->open(Frmchfl);
        // The same node, still selected: activation did not rebuild the tree.
        QCOMPARE(findNode(categories->TreeView1, QStringLiteral("(03)")), node);
        QCOMPARE(categories->TreeView1->selectedNode(), node);
    }

    void itemPickerOffersEveryItemAfterTheItemWindowClosed() {
        TFrmkp* kp = s->open(Frmkp);
        TFrmch* items = s->open(Frmch);
        clickNode(items->TreeView1, items->RootNode());  // the list of no category: nothing passes
        press(items->Panel1->n_exit);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        s->open(Frmkp);
        press(kp->n_insert);
        QCOMPARE(itemsOffered(kp), 20);
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));
    }

    void itemPickerOffersEveryItemWhileTheItemWindowShowsOneCategory() {
        TFrmkp* kp = s->open(Frmkp);
        TFrmch* items = s->open(Frmch);
        clickNode(items->TreeView1, findNode(items->TreeView1, QStringLiteral("(01-001)")));
        const int listed = items->DBGrid1->model()->rowCount();
        QVERIFY(listed > 0 && listed < 20);
        s->open(Frmkp);
        press(kp->n_insert);
        QCOMPARE(itemsOffered(kp), 20);
        // The item window gets its list back once the picker is gone.
        QCOMPARE(items->DBGrid1->model()->rowCount(), listed);
        press(kp->n_cancel);
    }
};

QTEST_MAIN(SharedDataSetsTest)
#include "SharedDataSetsTest.moc"
