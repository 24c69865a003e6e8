// The UI framework layer's services: message boxes, the error display, ShowOrCreateForm and the tree.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>

#include "tests/gui/GuiTestSupport.h"
#include "transport/Errors.h"
#include "widgets/BitBtn.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FolderTreeView.h"
#include "widgets/ShowOrCreateForm.h"

using namespace velmora;

namespace {

int constructed = 0;

class TTestChild : public MdiChildForm {
  public:
    static inline TTestChild* Ref = nullptr;
    explicit TTestChild(QWidget* owner)
        : MdiChildForm(owner), serial(++constructed), foundItselfInRef(Ref == this) {
        setCaption("child");
    }
    int serial;
    bool foundItselfInRef;
};

class TTestChildDerived : public TTestChild {
  public:
    static inline TTestChildDerived* Ref = nullptr;
    explicit TTestChildDerived(QWidget* owner) : TTestChild(owner) {}
};

}  // namespace

class FrameworkTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QMdiArea> area;

  private slots:
    void init() {
        area = std::make_unique<QMdiArea>();
        area->resize(600, 400);
        area->show();
        MdiChildForm::setMdiArea(area.get());
    }
    void cleanup() {
        MdiChildForm::setMdiArea(nullptr);
        area.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TTestChild::Ref = nullptr;
        TTestChildDerived::Ref = nullptr;
    }

    void messageBoxFlagsChooseButtonsAndIcon() {
        test::MessageRecorder messages;
        messages.answerNext(MessageButton::No);
        QCOMPARE(MessageService::messageBox("确认?", "Ostrel系统", MB_YESNO | MB_ICONINFORMATION),
                 MessageButton::No);
        MessageService::messageBox("提示", "Velmora系统", MB_ICONINFORMATION);
        MessageService::showMessage("未完成");
        MessageService::messageDlg("你输入的客户代码不正确", DialogKind::Error, MessageButtons::Ok);
        const auto& b = messages.boxes();
        QCOMPARE(b.size(), size_t(4));
        QCOMPARE(b[0].buttons, MessageButtons::YesNo);
        QCOMPARE(b[0].icon, MessageIcon::Information);
        QCOMPARE(b[0].caption, QString("Ostrel系统"));
        QCOMPARE(b[1].buttons, MessageButtons::Ok);
        QCOMPARE(b[2].caption, QCoreApplication::applicationName());
        QCOMPARE(b[2].icon, MessageIcon::None);
        QCOMPARE(b[3].caption, QString("错误"));
        QCOMPARE(b[3].icon, MessageIcon::Error);
    }

    void standardButtonsSpeakChinese() {
        auto box = MessageService::buildBox(
            {"请确认是否退出本系统", "提示信息", MessageIcon::Information, MessageButtons::YesNo});
        QCOMPARE(box->windowTitle(), QString("提示信息"));
        // Shown as 是(Y) and 否(N), with their keys underlined.
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QString("是(&Y)"));
        QCOMPARE(box->button(QMessageBox::No)->text(), QString("否(&N)"));
        QCOMPARE(BitBtn::standardCaption(BitBtn::Kind::Ok), QString("确定"));
        QCOMPARE(BitBtn::standardCaption(BitBtn::Kind::Cancel), QString("取消"));
    }

    void guardShowsWhatAHandlerThrows() {
        test::MessageRecorder messages;
        bool after = false;
        QVERIFY(!guarded([&] {
            throw VelmoraError("Field 'qty' cannot be modified");
            after = true;
        }));
        QVERIFY(!after);
        QVERIFY(guarded([] {}));
        guarded([] { throw RemoteError("Record not found."); });
        guarded([] { throw std::runtime_error("Done!"); });
        // Chinese texts end in a Chinese full stop, never an ASCII one.
        guarded([] { throw VelmoraError("数量和单价都要有值才能计算金额"); });
        guarded([] { throw VelmoraError("类别编码已重复。"); });
        guarded([] { throw VelmoraError("有无重复？"); });
        // A lower layer's English text comes below a Chinese sentence that says whose failure it is.
        QCOMPARE(messages.texts(),
                 QStringList({"操作未能完成。", "服务器未能完成这项操作。", "操作未能完成。",
                              "数量和单价都要有值才能计算金额。", "类别编码已重复。", "有无重复？"}));
        QCOMPARE(messages.boxes()[0].details, QString("Field 'qty' cannot be modified"));
        QCOMPARE(messages.boxes()[1].details, QString("Record not found."));
        QCOMPARE(messages.boxes()[2].details, QString("Done!"));
        QCOMPARE(messages.boxes()[3].details, QString());
        QCOMPARE(messages.boxes()[0].caption, QCoreApplication::applicationName());
        QCOMPARE(messages.boxes()[0].icon, MessageIcon::Error);
    }

    void openWindowIsBroughtForwardNotDuplicated() {
        TTestChild* first = ShowOrCreateForm(TTestChild::Ref, area.get());
        QCOMPARE(TTestChild::Ref, first);
        QVERIFY(first->subWindow()->isVisible());
        TTestChild* again = ShowOrCreateForm(TTestChild::Ref, area.get());
        QCOMPARE(again, first);
        QCOMPARE(area->subWindowList().size(), 1);
        first->subWindow()->showMinimized();
        QVERIFY(first->isMinimizedWindow());
        ShowOrCreateForm(TTestChild::Ref, area.get());
        QVERIFY(!first->isMinimizedWindow());
        QCOMPARE(area->activeSubWindow(), first->subWindow());
    }

    void cascadedWindowsKeepAReadableSize() {
        TTestChild* form = ShowOrCreateForm(TTestChild::Ref, area.get());
        area->cascadeSubWindows();
        QVERIFY(form->width() >= 400 && form->height() >= 250);
        form->setFrameSize(500, 300);
        QCOMPARE(form->sizeHint(), QSize(500, 300));
    }

    void onlyTheExactClassMatches() {
        TTestChildDerived* derived = ShowOrCreateForm(TTestChildDerived::Ref, area.get());
        TTestChild* base = ShowOrCreateForm(TTestChild::Ref, area.get());
        QVERIFY(static_cast<TTestChild*>(derived) != base);
        QCOMPARE(area->subWindowList().size(), 2);
    }

    void closedWindowIsCreatedAfresh() {
        TTestChild* first = ShowOrCreateForm(TTestChild::Ref, area.get());
        int serial = first->serial;
        first->Close();
        TTestChild* second = ShowOrCreateForm(TTestChild::Ref, area.get());
        QVERIFY(second->serial != serial);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(TTestChild::Ref, second);
        QCOMPARE(area->subWindowList().size(), 1);
        second->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(TTestChild::Ref, nullptr);
    }

    void referenceIsSetBeforeTheConstructorRuns() {
        TTestChild* form = ShowOrCreateForm(TTestChild::Ref, area.get());
        QVERIFY(form->foundItselfInRef);
    }

    void ownedWindowGoesWithItsOwner() {
        auto* owner = new QWidget;
        TTestChild* form = ShowOrCreateForm(TTestChild::Ref, owner);
        QPointer<QMdiSubWindow> frame = form->subWindow();
        delete owner;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frame.isNull());
        QCOMPARE(TTestChild::Ref, nullptr);
    }

    void treeReportsLevelsAndMouseClicksOnly() {
        FolderTreeView tree;
        QTreeWidgetItem* root = tree.addRootNode("存货分类");
        QTreeWidgetItem* top = tree.addChildNode(root, "(01) 食品");
        QTreeWidgetItem* sub = tree.addChildNode(top, "(01-001) 饼干");
        tree.addChildNode(top, "(01-002) 糖果");
        QCOMPARE(FolderTreeView::nodeLevel(root), 0);
        QCOMPARE(FolderTreeView::nodeLevel(top), 1);
        QCOMPARE(FolderTreeView::nodeLevel(sub), 2);
        QCOMPARE(top->child(1)->text(0), QString("(01-002) 糖果"));
        QVERIFY(!root->icon(0).isNull());

        QTreeWidgetItem* clicked = nullptr;
        connect(&tree, &FolderTreeView::nodeClicked, [&](QTreeWidgetItem* n) { clicked = n; });
        tree.expandAll();
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.selectNode(sub);
        QCOMPARE(tree.selectedNode(), sub);
        QVERIFY(!clicked);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(top).center());
        QCOMPARE(clicked, top);
        tree.removeNode(top);
        QCOMPARE(root->childCount(), 0);
    }
};

VELMORA_GUI_TEST_MAIN(FrameworkTest)
#include "FrameworkTest.moc"
