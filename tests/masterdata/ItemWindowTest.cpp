// The item window against the real server: the filter per node, new items filed under the
// clicked sub-category, a taken code reported, and the usage check whatever the line dataset holds.
#include <QTabWidget>
#include <memory>

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/FolderTreeView.h"

using namespace velmora;
using velmora::test::clickNode;
using velmora::test::findNode;
using velmora::test::press;

class ItemWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;
    TFrmch* w = nullptr;

    bool inEditState() const {
        MaintenanceBar* b = w->Panel1;
        return w->DBEdit1->isEnabled() && w->DBEdit4->isEnabled() && !w->DBEdit5->isEnabled() &&
               b->n_save->isEnabled() && b->n_cancel->isEnabled() && !b->n_insert->isEnabled() &&
               !b->n_edit->isEnabled() && !b->n_delete->isEnabled() && !b->n_refresh->isEnabled() &&
               !b->n_exit->isEnabled() && !w->TreeView1->isEnabled() && w->DBGrid1->isEnabled() &&
               w->DBEdit1->Color() == clWindow() && w->DBEdit5->Color() == clInfoBk();
    }
    bool inBrowseState() const {
        MaintenanceBar* b = w->Panel1;
        return !w->DBEdit1->isEnabled() && !w->DBEdit4->isEnabled() && !w->DBEdit5->isEnabled() &&
               !b->n_save->isEnabled() && !b->n_cancel->isEnabled() && b->n_insert->isEnabled() &&
               b->n_edit->isEnabled() && b->n_delete->isEnabled() && b->n_refresh->isEnabled() &&
               b->n_exit->isEnabled() && w->TreeView1->isEnabled() && w->DBGrid1->isEnabled() &&
               w->DBEdit1->Color() == clInfoBk();
    }
    void click(const QString& prefix) {
        QTreeWidgetItem* n = prefix.isEmpty() ? w->RootNode() : findNode(w->TreeView1, prefix);
        QVERIFY2(n, qPrintable(prefix));
        clickNode(w->TreeView1, n);
    }
    // Clicks the grid row of the item; false when the list does not show it.
    bool clickItem(const std::string& chid) {
        ClientDataSet& items = dm->ClientDataSetch;
        for (int row = 0; row < items.RecordCount(); ++row) {
            if (items.textAt(row, items.FieldByName("chid").Index()) != chid) continue;
            QModelIndex cell = w->DBGrid1->model()->index(row, 1);
            QTest::mouseClick(w->DBGrid1->viewport(), Qt::LeftButton, {},
                              w->DBGrid1->visualRect(cell).center());
            return items.FieldByName("chid").AsString() == chid;
        }
        return false;
    }
    std::string categoryOf(const std::string& chid) {
        return s->server.scalar("select chflid from ch where chid = '" + chid + "'");
    }

  private slots:
    void init() {
        s = std::make_unique<test::MasterDataSession>();
        s->executeElsewhere(
            "insert into ch (chflid, chid, chname, ggxh, jldw) values ('02-002', '0200299', '新果汁', '1L', "
            "'瓶')");
        w = s->open(Frmch);
    }
    void cleanup() {
        s.reset();
        w = nullptr;
    }

    void opensWithTheFilterTheDatasetHolds() {
        QCOMPARE(w->Caption(), QStringLiteral("存货档案设置"));
        QVERIFY(inBrowseState());
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet2);
        QCOMPARE(dm->ClientDataSetch.Filter(), std::string("chflid='53'"));
        QCOMPARE(dm->ClientDataSetch.RecordCount(), 0);
        QCOMPARE(dm->ClientDataSetch.RecordCountUnfiltered(), 21);
        QCOMPARE(test::childTexts(w->RootNode()).size(), 3);
        QCOMPARE(w->DBGrid1->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("存货分类编号"));
    }

    void eachNodeFiltersTheList() {
        click(QStringLiteral("(02-002)"));
        QCOMPARE(dm->ClientDataSetch.Filter(), std::string("chflid='02-002'"));
        QCOMPARE(dm->ClientDataSetch.RecordCount(),
                 s->count("select count(*) from ch where chflid = '02-002'"));
        QVERIFY(dm->ClientDataSetch.RecordCount() > 1);
        QCOMPARE(w->DBGrid1->model()->rowCount(), dm->ClientDataSetch.RecordCount());
        w->PageControl1->setCurrentWidget(w->TabSheet1);
        click(QStringLiteral("(02)"));
        QCOMPARE(dm->ClientDataSetch.Filter(), std::string("chflid='T'"));
        QCOMPARE(dm->ClientDataSetch.RecordCount(), 0);
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet2);
        click(QString());
        QCOMPARE(dm->ClientDataSetch.RecordCount(), 0);
        press(w->Panel1->n_refresh);
        QCOMPARE(dm->ClientDataSetch.Filter(), std::string("chflid='T'"));
    }

    void onlyASubCategoryTakesNewItemsAndOnlyAListedItemIsEdited() {
        click(QStringLiteral("(01)"));
        press(w->Panel1->n_insert);
        QCOMPARE(s->lastBox().caption, QStringLiteral("Velmora系统"));
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("非末级不能添加.")}));
        QVERIFY(inBrowseState());
        press(w->Panel1->n_edit);
        QCOMPARE(s->takeTexts(),
                 QStringList({QStringLiteral("请先正确地选择到存货的分类或者当前分类下无存货")}));
        QVERIFY(inBrowseState());
    }

    void newItemCarriesItsSubCategoryCode() {
        click(QStringLiteral("(03-001)"));
        int before = dm->ClientDataSetch.RecordCount();
        press(w->Panel1->n_insert);
        QVERIFY(inEditState());
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet1);
        QCOMPARE(w->DBEdit5->text(), QStringLiteral("03-001"));
        test::typeText(w->DBEdit1, QStringLiteral("0300199"));
        test::typeText(w->DBEdit2, QStringLiteral("牙刷"));
        test::typeText(w->DBEdit3, QStringLiteral("软毛"));
        test::typeText(w->DBEdit4, QStringLiteral("支"));
        press(w->Panel1->n_save);
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));
        QVERIFY(inBrowseState());
        QCOMPARE(dm->ClientDataSetch.RecordCount(), before + 1);
        QCOMPARE(categoryOf("0300199"), std::string("03-001"));
        QCOMPARE(s->server.scalar("select jldw from ch where chid = '0300199'"), std::string("支"));
    }

    void takenItemCodeIsReportedAndDiscardDropsIt() {
        click(QStringLiteral("(03-001)"));
        int before = dm->ClientDataSetch.RecordCount();
        press(w->Panel1->n_insert);
        test::typeText(w->DBEdit1, QStringLiteral("0200299"));
        test::typeText(w->DBEdit2, QStringLiteral("重号"));
        press(w->Panel1->n_save);
        QCOMPARE(s->messages.boxes().size(), size_t(1));
        QCOMPARE(s->lastBox().icon, MessageIcon::Error);
        // The database's own text stands below the sentence that says the server refused.
        QCOMPARE(s->lastBox().text, QStringLiteral("服务器未能完成这项操作。"));
        QVERIFY2(s->lastBox().details.contains(QStringLiteral("UNIQUE"), Qt::CaseInsensitive),
                 qPrintable(s->lastBox().details));
        QVERIFY(inEditState());
        QCOMPARE(dm->ClientDataSetch.ChangeCount(), 1);
        press(w->Panel1->n_cancel);
        QVERIFY(inBrowseState());
        QCOMPARE(dm->ClientDataSetch.ChangeCount(), 0);
        QCOMPARE(dm->ClientDataSetch.RecordCount(), before);
        QCOMPARE(w->DBGrid1->model()->rowCount(), before);
        QCOMPARE(s->server.scalar("select chname from ch where chid = '0200299'"), std::string("新果汁"));
    }

    void correctedCodeSavesAfterARefusal() {
        click(QStringLiteral("(03-001)"));
        press(w->Panel1->n_insert);
        test::typeText(w->DBEdit1, QStringLiteral("0200299"));
        press(w->Panel1->n_save);
        QVERIFY(inEditState());
        w->DBEdit1->setFocus();
        w->DBEdit1->clear();
        test::typeText(w->DBEdit1, QStringLiteral("0300177"));
        press(w->Panel1->n_save);
        QVERIFY(inBrowseState());
        QCOMPARE(categoryOf("0300177"), std::string("03-001"));
        QCOMPARE(dm->ClientDataSetch.ChangeCount(), 0);
    }

    void usedItemIsRefusedWhateverTheLineDatasetHolds() {
        std::string used = s->server.scalar("select chid from xsdzb order by lineid limit 1");
        std::string otherOrder = s->server.scalar(
            "select xsdid from xsdtb where xsdid not in (select xsdid from xsdzb where chid = '" + used +
            "') limit 1");
        dm->ClientDataSetxsdzb2.Open();
        dm->ClientDataSetxsdzb2.setFilter("xsdid='" + otherOrder + "'");
        dm->ClientDataSetxsdzb2.setFiltered(true);
        int lines = s->count("select count(*) from xsdzb");

        click(QStringLiteral("(") + QString::fromStdString(categoryOf(used)) + QStringLiteral(")"));
        QVERIFY(clickItem(used));
        press(w->Panel1->n_delete);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("该存货已使用，不可删除")}));
        QCOMPARE(s->count("select count(*) from ch where chid = '" + used + "'"), 1);

        // The line dataset and the provider it shares are as they were.
        QCOMPARE(dm->ClientDataSetxsdzb2.RecordCountUnfiltered(), lines);
        dm->ClientDataSetxsdzb2.Refresh();
        QCOMPARE(dm->ClientDataSetxsdzb2.RecordCountUnfiltered(), lines);
        dm->ClientDataSetxsdzb2.Close();
        dm->ClientDataSetxsdzb2.Open();
        QCOMPARE(dm->ClientDataSetxsdzb2.RecordCountUnfiltered(), lines);
    }

    void unusedItemIsDeletedOnYesOnly() {
        click(QStringLiteral("(02-002)"));
        QVERIFY(clickItem("0200299"));
        s->messages.answerNext(MessageButton::No);
        press(w->Panel1->n_delete);
        QCOMPARE(s->lastBox().caption, QStringLiteral("Ostrel系统"));
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("请确认是否要删除")}));
        QCOMPARE(s->count("select count(*) from ch where chid = '0200299'"), 1);

        s->messages.answerNext(MessageButton::Yes);
        press(w->Panel1->n_delete);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("请确认是否要删除")}));
        QCOMPARE(s->count("select count(*) from ch where chid = '0200299'"), 0);
        QVERIFY(!clickItem("0200299"));
        QVERIFY(inBrowseState());
    }

    void deleteOnAnEmptyListFindsNothingToDelete() {
        s->executeElsewhere("insert into chfl (chflid, chflname) values ('03-008', '空')");
        dm->ClientDataSetchfl.Close();
        dm->ClientDataSetchfl.Open();
        press(w->Panel1->n_refresh);
        click(QStringLiteral("(03-008)"));
        QCOMPARE(dm->ClientDataSetch.RecordCount(), 0);
        press(w->Panel1->n_delete);
        QCOMPARE(s->takeTexts(),
                 QStringList({QStringLiteral("请确认是否要删除"), QStringLiteral("无记录可删除")}));
        click(QStringLiteral("(03)"));
        press(w->Panel1->n_delete);  // nothing happens for a top-level node
        QVERIFY(s->messages.boxes().empty());
    }

    void enterMovesThroughTheFourBoxes() {
        click(QStringLiteral("(01-001)"));
        press(w->Panel1->n_insert);
        w->activateWindow();
        w->DBEdit1->setFocus();
        QTest::keyClick(w->DBEdit1, Qt::Key_Return);
        QTRY_VERIFY(w->DBEdit2->hasFocus());
        QTest::keyClick(w->DBEdit2, Qt::Key_Return);
        QTRY_VERIFY(w->DBEdit3->hasFocus());
        QTest::keyClick(w->DBEdit3, Qt::Key_Return);
        QTRY_VERIFY(w->DBEdit4->hasFocus());
        QTest::keyClick(w->DBEdit4, Qt::Key_Return);
        QVERIFY(w->DBEdit4->hasFocus());
    }
};

VELMORA_GUI_TEST_MAIN(ItemWindowTest)
#include "ItemWindowTest.moc"
