// The category window against the real server: tree, states, the save checks in their order,
// the delete checks, and what the item check leaves for the item window.
#include <QLabel>
#include <QTabWidget>
#include <memory>

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/FolderTreeView.h"

using namespace velmora;
using velmora::test::clickNode;
using velmora::test::findNode;
using velmora::test::press;

class CategoryWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;
    TFrmchfl* w = nullptr;

    bool inEditState() const {
        MaintenanceBar* b = w->Panel1;
        bool edit = w->DBEdit1->isEnabled() && w->DBEdit2->isEnabled() && b->n_save->isEnabled() &&
                    b->n_cancel->isEnabled() && !b->n_insert->isEnabled() && !b->n_edit->isEnabled() &&
                    !b->n_delete->isEnabled() && !b->n_refresh->isEnabled() && !b->n_exit->isEnabled() &&
                    !w->TreeView1->isEnabled() && w->DBEdit1->Color() == clWindow();
        return edit;
    }
    bool inBrowseState() const {
        MaintenanceBar* b = w->Panel1;
        return !w->DBEdit1->isEnabled() && !w->DBEdit2->isEnabled() && !b->n_save->isEnabled() &&
               !b->n_cancel->isEnabled() && b->n_insert->isEnabled() && b->n_edit->isEnabled() &&
               b->n_delete->isEnabled() && b->n_refresh->isEnabled() && b->n_exit->isEnabled() &&
               w->TreeView1->isEnabled() && w->DBEdit1->Color() == clInfoBk() && !w->DBGrid1->isEnabled();
    }
    QTreeWidgetItem* node(const char* prefix) { return findNode(w->TreeView1, QString::fromUtf8(prefix)); }
    void insertUnder(const char* prefix, const QString& code, const QString& name) {
        clickNode(w->TreeView1, prefix ? node(prefix) : w->RootNode());
        press(w->Panel1->n_insert);
        w->DBEdit1->setText(code);
        test::typeText(w->DBEdit2, name);
    }

  private slots:
    void init() {
        s = std::make_unique<test::MasterDataSession>();
        w = s->open(Frmchfl);
    }
    void cleanup() {
        s.reset();
        w = nullptr;
    }

    void opensOnTheListWithTheTreeOfTheRowsHeld() {
        QCOMPARE(w->Caption(), QStringLiteral("存货分类设置"));
        QVERIFY(inBrowseState());
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet2);
        QCOMPARE(w->PageControl1->tabText(0), QStringLiteral("单张"));
        QCOMPARE(w->Label1->text(), QStringLiteral("本软件存货分类编码格式为：xx-xxx"));
        QTreeWidgetItem* root = w->RootNode();
        QCOMPARE(w->TreeView1->topLevelItemCount(), 1);
        QCOMPARE(root->text(0), QStringLiteral("存货分类"));
        QCOMPARE(test::childTexts(root),
                 QStringList({QStringLiteral("(01) 食品"), QStringLiteral("(02) 饮料"),
                              QStringLiteral("(03) 日用品")}));
        QCOMPARE(test::childTexts(root->child(0)),
                 QStringList({QStringLiteral("(01-001) 糖果"), QStringLiteral("(01-002) 饼干")}));
        QCOMPARE(test::childTexts(root->child(2)).size(), 3);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 10);
        QCOMPARE(w->DBGrid1->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("存货分类编码"));
        QVERIFY(w->isMaximizedWindow());
    }

    void clickLocatesTheRowAndSetsTheMask() {
        clickNode(w->TreeView1, node("(02-001)"));
        QCOMPARE(dm->ClientDataSetchfl.FieldByName("chflid").AsString(), std::string("02-001"));
        QCOMPARE(dm->ClientDataSetchfl.FieldByName("chflid").EditMask(), std::string("99-999;1;_"));
        QCOMPARE(w->DBEdit1->text(), QStringLiteral("02-001"));
        clickNode(w->TreeView1, node("(03)"));
        QCOMPARE(dm->ClientDataSetchfl.FieldByName("chflid").AsString(), std::string("03"));
        QCOMPARE(dm->ClientDataSetchfl.FieldByName("chflid").EditMask(), std::string("99;1;_"));
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet2);  // the page is not switched
    }

    void addsTopLevelAndSubCategoryToTreeAndServer() {
        insertUnder(nullptr, QStringLiteral("04"), QStringLiteral("文具"));
        QVERIFY(inEditState());
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet1);
        press(w->Panel1->n_save);
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));
        QVERIFY(inBrowseState());
        QCOMPARE(w->RootNode()->child(3)->text(0), QStringLiteral("(04) 文具"));
        QCOMPARE(s->server.scalar("select chflname from chfl where chflid = '04'"), std::string("文具"));

        clickNode(w->TreeView1, node("(04)"));
        press(w->Panel1->n_insert);
        QCOMPARE(w->DBEdit1->text(), QStringLiteral("04-"));  // the parent's digits and the hyphen
        QCOMPARE(w->DBEdit1->displayText(), QStringLiteral("04-___"));
        test::typeText(w->DBEdit1, QStringLiteral("001"));  // after the parent's digits
        QCOMPARE(w->DBEdit1->text(), QStringLiteral("04-001"));
        test::typeText(w->DBEdit2, QStringLiteral("纸张"));
        press(w->Panel1->n_save);
        QVERIFY2(s->messages.boxes().empty(), qPrintable(s->takeTexts().join('|')));
        QCOMPARE(test::childTexts(node("(04)")), QStringList({QStringLiteral("(04-001) 纸张")}));
        QCOMPARE(s->server.scalar("select chflname from chfl where chflid = '04-001'"), std::string("纸张"));
        press(w->Panel1->n_refresh);
        QCOMPARE(test::childTexts(node("(04)")), QStringList({QStringLiteral("(04-001) 纸张")}));
    }

    void insertUnderASubCategoryIsRefused() {
        clickNode(w->TreeView1, node("(01-002)"));
        press(w->Panel1->n_insert);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("最底层不能添加，请在上层添加")}));
        QVERIFY(inBrowseState());
        clickNode(w->TreeView1, w->RootNode());
        press(w->Panel1->n_edit);
        QCOMPARE(s->lastBox().caption, QStringLiteral("Velmora系统"));
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("最顶层不能修改")}));
        QVERIFY(inBrowseState());
    }

    void saveChecksRunInOrderAndKeepEditState() {
        insertUnder(nullptr, QStringLiteral("5"), QStringLiteral("单"));
        press(w->Panel1->n_save);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("编码应为两位")}));
        QVERIFY(inEditState());
        press(w->Panel1->n_cancel);
        QVERIFY(inBrowseState());

        insertUnder("(03)", QStringLiteral("04-001"), QStringLiteral("错"));
        QCOMPARE(w->DBEdit1->text(), QStringLiteral("04-001"));
        press(w->Panel1->n_save);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("前面两位不能变，请确认!")}));
        QCOMPARE(w->DBEdit1->text(), QStringLiteral("03-"));
        QVERIFY(inEditState());
        press(w->Panel1->n_cancel);

        insertUnder(nullptr, QStringLiteral("01"), QStringLiteral("重复"));
        press(w->Panel1->n_save);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("类别编码已重复")}));
        QVERIFY(inEditState());
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet1);
        press(w->Panel1->n_cancel);
        QCOMPARE(s->count("select count(*) from chfl"), 10);
        QCOMPARE(test::childTexts(w->RootNode()).size(), 3);
    }

    void codeAddedMeanwhileByAnotherWorkstationIsADuplicate() {
        s->executeElsewhere("insert into chfl (chflid, chflname) values ('07', '别处')");
        insertUnder(nullptr, QStringLiteral("07"), QStringLiteral("这里"));
        press(w->Panel1->n_save);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("类别编码已重复")}));
        QVERIFY(inEditState());
    }

    void shortSubCategoryCodeIsStoredAndListedWithoutNode() {
        insertUnder("(02)", QStringLiteral("02-01"), QStringLiteral("短码"));
        press(w->Panel1->n_save);
        QCOMPARE(s->server.scalar("select chflname from chfl where chflid = '02-01'"), std::string("短码"));
        QCOMPARE(w->DBGrid1->model()->rowCount(), 11);
        press(w->Panel1->n_refresh);
        QVERIFY(!node("(02-01)"));
    }

    void refusedSaveThenDiscardLeavesNeitherLogNorGridWithTheRecord() {
        // Changing a code to one in use is refused by the server, not by the window.
        clickNode(w->TreeView1, node("(02)"));
        press(w->Panel1->n_edit);
        w->DBEdit1->setText(QStringLiteral("01"));
        press(w->Panel1->n_save);
        QCOMPARE(s->lastBox().icon, MessageIcon::Error);
        QVERIFY(inEditState());
        QVERIFY(node("(02) 饮料"));  // the tree changes only once the server stored the change
        press(w->Panel1->n_cancel);
        QVERIFY(inBrowseState());
        QCOMPARE(dm->ClientDataSetchfl.ChangeCount(), 0);
        QCOMPARE(w->DBGrid1->model()->rowCount(), 10);
        dm->ClientDataSetchfl.setIndexFieldNames("chflid");
        QVERIFY(dm->ClientDataSetchfl.FindKey({Variant("02")}));
        QCOMPARE(s->server.scalar("select chflname from chfl where chflid = '02'"), std::string("饮料"));
    }

    void editingASubCategoryReplacesItsNode() {
        clickNode(w->TreeView1, node("(03-002)"));
        press(w->Panel1->n_edit);
        QVERIFY(inEditState());
        w->DBEdit2->clear();
        test::typeText(w->DBEdit2, QStringLiteral("洗涤用品"));
        press(w->Panel1->n_save);
        QVERIFY(inBrowseState());
        QCOMPARE(node("(03-002)")->text(0), QStringLiteral("(03-002) 洗涤用品"));
        QCOMPARE(test::childTexts(node("(03)")).size(), 3);
        QCOMPARE(s->server.scalar("select chflname from chfl where chflid = '03-002'"),
                 std::string("洗涤用品"));
    }

    void deleteChecksRefuseWhatIsInUse() {
        clickNode(w->TreeView1, node("(01-001)"));
        press(w->Panel1->n_delete);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("相应的存货档案不为空，不可删除")}));
        clickNode(w->TreeView1, node("(01)"));
        press(w->Panel1->n_delete);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("该分类之下仍有子分类，不可删除")}));
        QCOMPARE(s->count("select count(*) from chfl"), 10);
        QVERIFY(inBrowseState());
    }

    void deleteAsksAndRemovesOnYesOnly() {
        insertUnder("(03)", QStringLiteral("03-009"), QStringLiteral("空类"));
        press(w->Panel1->n_save);
        s->messages.answerNext(MessageButton::No);
        clickNode(w->TreeView1, node("(03-009)"));
        press(w->Panel1->n_delete);
        QCOMPARE(s->lastBox().caption, QStringLiteral("Ostrel系统"));
        QCOMPARE(s->lastBox().buttons, MessageButtons::YesNo);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("请确认是否要删除")}));
        QVERIFY(node("(03-009)"));
        QCOMPARE(s->count("select count(*) from chfl where chflid = '03-009'"), 1);

        // Selected with the keyboard after a click elsewhere: the selected node is deleted.
        clickNode(w->TreeView1, node("(03-001)"));
        w->TreeView1->selectNode(node("(03-009)"));
        s->messages.answerNext(MessageButton::Yes);
        press(w->Panel1->n_delete);
        QVERIFY(!node("(03-009)"));
        QCOMPARE(s->count("select count(*) from chfl where chflid = '03-009'"), 0);
        QCOMPARE(s->count("select count(*) from chfl where chflid = '03-001'"), 1);
    }

    void itemCheckLeavesEveryItemForTheItemWindow() {
        clickNode(w->TreeView1, node("(02-002)"));
        press(w->Panel1->n_delete);
        QCOMPARE(s->takeTexts(), QStringList({QStringLiteral("相应的存货档案不为空，不可删除")}));
        QCOMPARE(dm->ClientDataSetch.RecordCountUnfiltered(), 20);
        QCOMPARE(dm->ClientDataSetch.CommandText(), std::string());
        s->close(w);
        QVERIFY(!Frmchfl);
        QVERIFY(!dm->ClientDataSetch.Active());
        QVERIFY(!dm->ClientDataSetchfl.Active());

        TFrmch* items = s->open(Frmch);
        QCOMPARE(dm->ClientDataSetch.RecordCountUnfiltered(), 20);
        dm->ClientDataSetch.Refresh();
        QCOMPARE(dm->ClientDataSetch.RecordCountUnfiltered(), 20);
        s->close(items);
    }

    void enterMovesFromCodeToName() {
        insertUnder(nullptr, QString(), QString());
        w->activateWindow();
        w->DBEdit1->setFocus();
        QTest::keyClick(w->DBEdit1, Qt::Key_Return);
        QTRY_VERIFY(w->DBEdit2->hasFocus());
        QTest::keyClick(w->DBEdit2, Qt::Key_Return);
        QVERIFY(w->DBEdit2->hasFocus());
    }
};

VELMORA_GUI_TEST_MAIN(CategoryWindowTest)
#include "CategoryWindowTest.moc"
