// The main window's actions, menu and tool bar, and what their items do.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>
#include <QWidget>

#include "admin/TFrmauditquery.h"
#include "admin/TFrmbackup.h"
#include "admin/TFrmusers.h"
#include "app/TAboutBox.h"
#include "app/TFrmchangepassword.h"
#include "app/TMainForm.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmjyfx.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmywyhzquery.h"
#include "sales/TFrmkp.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/HelpWindow.h"
#include "widgets/MessageService.h"
#include "widgets/PrintPreview.h"

namespace velmora {

namespace {

QAction* makeAction(QObject* parent, const char* name, const QString& text) {
    auto* a = new QAction(text, parent);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

// An action with a hint of two parts: the short one is the tooltip, the long one the status-bar
// text.
void setHint(QAction* a, const QString& shortHint, const QString& longHint) {
    a->setToolTip(shortHint);
    a->setStatusTip(longHint);
}

QLineEdit* focusedEdit() {
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

}  // namespace

void TMainForm::buildActions() {
    const auto& img = ImageList1;
    FileNew1 = makeAction(this, "FileNew1", QStringLiteral("&New"));
    setHint(FileNew1, QStringLiteral("New"), QStringLiteral("Create a new file"));
    FileNew1->setIcon(img[6]);
    FileNew1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    FileOpen1 = makeAction(this, "FileOpen1", QStringLiteral("&Open"));
    setHint(FileOpen1, QStringLiteral("Open"), QStringLiteral("Open a file"));
    FileOpen1->setIcon(img[7]);
    FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    FileSave1 = makeAction(this, "FileSave1", QStringLiteral("&Save"));
    setHint(FileSave1, QStringLiteral("Save"), QStringLiteral("Save current file"));
    FileSave1->setIcon(img[8]);
    FileSave1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // The file actions have no operation, so they show disabled.
    for (QAction* a : {FileNew1, FileOpen1, FileSave1}) a->setEnabled(false);

    EditCut1 = makeAction(this, "EditCut1", QStringLiteral("Cu&t"));
    setHint(EditCut1, QStringLiteral("Cut"),
            QStringLiteral("Cuts the selection and puts it on the Clipboard"));
    EditCut1->setIcon(img[0]);
    EditCut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(EditCut1, &QAction::triggered, this, [] {
        if (QLineEdit* e = focusedEdit()) e->cut();
    });
    EditCopy1 = makeAction(this, "EditCopy1", QStringLiteral("&Copy"));
    setHint(EditCopy1, QStringLiteral("Copy"),
            QStringLiteral("Copies the selection and puts it on the Clipboard"));
    EditCopy1->setIcon(img[1]);
    EditCopy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    connect(EditCopy1, &QAction::triggered, this, [] {
        if (QLineEdit* e = focusedEdit()) e->copy();
    });
    EditPaste1 = makeAction(this, "EditPaste1", QStringLiteral("&Paste"));
    setHint(EditPaste1, QStringLiteral("Paste"), QStringLiteral("Inserts Clipboard contents"));
    EditPaste1->setIcon(img[2]);
    EditPaste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    connect(EditPaste1, &QAction::triggered, this, [] {
        if (QLineEdit* e = focusedEdit()) e->paste();
    });
    // A focused edit box handles these keys itself; the shortcuts serve the tool bar's tips.
    for (QAction* a : {EditCut1, EditCopy1, EditPaste1}) a->setShortcutContext(Qt::WidgetShortcut);

    WindowCascade1 = makeAction(this, "WindowCascade1", QStringLiteral("&Cascade"));
    setHint(WindowCascade1, QStringLiteral("Cascade"), QStringLiteral("Cascade"));
    WindowCascade1->setIcon(img[17]);
    connect(WindowCascade1, &QAction::triggered, this, [this] { ClientArea->cascadeSubWindows(); });
    WindowTileHorizontal1 = makeAction(this, "WindowTileHorizontal1", QStringLiteral("Tile &Horizontally"));
    setHint(WindowTileHorizontal1, QStringLiteral("Tile Horizontally"), QStringLiteral("Tile Horizontally"));
    WindowTileHorizontal1->setIcon(img[15]);
    connect(WindowTileHorizontal1, &QAction::triggered, this, [this] { tileChildren(true); });
    WindowTileVertical1 = makeAction(this, "WindowTileVertical1", QStringLiteral("Tile &Vertically"));
    setHint(WindowTileVertical1, QStringLiteral("Tile Vertically"), QStringLiteral("Tile Vertically"));
    WindowTileVertical1->setIcon(img[16]);
    connect(WindowTileVertical1, &QAction::triggered, this, [this] { tileChildren(false); });

    // Actions of the list that no menu item or button is bound to.
    FileClose1 = makeAction(this, "FileClose1", QStringLiteral("&Close"));
    connect(FileClose1, &QAction::triggered, this, [this] {
        if (QMdiSubWindow* w = ClientArea->activeSubWindow()) w->close();
    });
    FileSaveAs1 = makeAction(this, "FileSaveAs1", QStringLiteral("Save &As..."));
    FileSaveAs1->setEnabled(false);
    FileExit1 = makeAction(this, "FileExit1", QStringLiteral("E&xit"));
    connect(FileExit1, &QAction::triggered, this, [this] { close(); });
    WindowMinimizeAll1 = makeAction(this, "WindowMinimizeAll1", QStringLiteral("&Minimize All"));
    connect(WindowMinimizeAll1, &QAction::triggered, this, [this] {
        for (QMdiSubWindow* w : ClientArea->subWindowList()) w->showMinimized();
    });
    WindowArrangeAll1 = makeAction(this, "WindowArrangeAll1", QStringLiteral("&Arrange All"));
    connect(WindowArrangeAll1, &QAction::triggered, this, [this] { ClientArea->tileSubWindows(); });

    HelpAbout1 = makeAction(this, "HelpAbout1", QStringLiteral("&About..."));
    setHint(HelpAbout1, QStringLiteral("About"),
            QStringLiteral("Displays program information and the version number"));
    HelpAbout1->setIcon(img[15]);
    connect(HelpAbout1, &QAction::triggered, this, guardedSlot([this] { HelpAbout1Execute(); }));
}

void TMainForm::buildMenu() {
    const auto& img = ImageList1;
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const char* caption, int image,
                       void (TMainForm::*handler)()) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        if (image >= 0) a->setIcon(ImageList1[static_cast<size_t>(image)]);
        connect(a, &QAction::triggered, this, guardedSlot([this, handler] { (this->*handler)(); }));
        return a;
    };

    File1 = bar->addMenu(QStringLiteral("[文件]"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    FileNewItem = item(File1, "FileNewItem", "打印设置", 14, &TMainForm::FileNewItemClick);
    File1->addSeparator()->setObjectName(QStringLiteral("N1"));
    N15 = item(File1, "N15", "更改口令", 13, &TMainForm::N15Click);
    FileOpenItem = item(File1, "FileOpenItem", "退出", 5, &TMainForm::FileOpenItemClick);

    N2 = bar->addMenu(QStringLiteral("[基础信息设置]"));
    N2->setObjectName(QStringLiteral("N2"));
    N6 = item(N2, "N6", "存货分类档案", 1, &TMainForm::N6Click);
    N3 = item(N2, "N3", "存货档案", 2, &TMainForm::N3Click);
    N4 = item(N2, "N4", "客户档案", 10, &TMainForm::N4Click);
    N5 = item(N2, "N5", "业务员档案", 15, &TMainForm::N5Click);

    N7 = bar->addMenu(QStringLiteral("[销售]"));
    N7->setObjectName(QStringLiteral("N7"));
    N8 = item(N7, "N8", "销售开票 ", 1, &TMainForm::N8Click);
    N7->addSeparator()->setObjectName(QStringLiteral("N9"));
    N10 = item(N7, "N10", "销售单列表", 10, &TMainForm::N10Click);
    N11 = item(N7, "N11", "客户销量汇总表", 15, &TMainForm::N11Click);
    N13 = item(N7, "N13", "存货销量汇总表", 15, &TMainForm::N13Click);
    N12 = item(N7, "N12", "业务员销量汇总表", 16, &TMainForm::N12Click);
    N20 = item(N7, "N20", "经营分析", 11, &TMainForm::N20Click);

    N16 = bar->addMenu(QStringLiteral("[系统管理]"));
    N16->setObjectName(QStringLiteral("N16"));
    N17 = item(N16, "N17", "用户管理", 13, &TMainForm::N17Click);
    N18 = item(N16, "N18", "操作日志", 10, &TMainForm::N18Click);
    N19 = item(N16, "N19", "数据备份", 8, &TMainForm::N19Click);

    Help1 = bar->addMenu(QStringLiteral("[帮助]"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    N14 = item(Help1, "N14", "帮助", 13, &TMainForm::N14Click);
    HelpAboutItem = Help1->addAction(img[15], QStringLiteral("关于"));
    HelpAboutItem->setObjectName(QStringLiteral("HelpAboutItem"));
    HelpAboutItem->setStatusTip(HelpAbout1->statusTip());
    connect(HelpAboutItem, &QAction::triggered, HelpAbout1, &QAction::trigger);
}

void TMainForm::buildToolBar() {
    ToolBar2 = new QToolBar(QStringLiteral("ToolBar2"), this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    ToolBar2->setIconSize(QSize(16, 16));
    ToolBar2->setFixedHeight(30);
    ToolBar2->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto* indent = new QWidget(ToolBar2);
    indent->setFixedWidth(5);
    ToolBar2->addWidget(indent);
    // The buttons, left to right, under the names the window gives them.
    const std::pair<QAction*, const char*> buttons[] = {
        {FileNew1, "ToolButton9"},
        {FileOpen1, "ToolButton1"},
        {FileSave1, "ToolButton2"},
        {nullptr, "ToolButton3"},
        {EditCut1, "ToolButton4"},
        {EditCopy1, "ToolButton5"},
        {EditPaste1, "ToolButton6"},
        {nullptr, "ToolButton7"},
        {WindowCascade1, "ToolButton8"},
        {WindowTileHorizontal1, "ToolButton10"},
        {WindowTileVertical1, "ToolButton11"},
    };
    for (const auto& [action, name] : buttons) {
        if (!action) {
            ToolBar2->addSeparator()->setObjectName(QString::fromLatin1(name));
            continue;
        }
        ToolBar2->addAction(action);
        ToolBar2->widgetForAction(action)->setObjectName(QString::fromLatin1(name));
    }
    addToolBar(Qt::TopToolBarArea, ToolBar2);
}

void TMainForm::updateActions() {
    QLineEdit* edit = focusedEdit();
    bool selection = edit && edit->hasSelectedText() && edit->echoMode() == QLineEdit::Normal;
    bool writable = edit && !edit->isReadOnly();
    EditCut1->setEnabled(selection && writable);
    EditCopy1->setEnabled(selection);
    EditPaste1->setEnabled(writable && !QApplication::clipboard()->text().isEmpty());
    bool children = !ClientArea->subWindowList().isEmpty();
    WindowCascade1->setEnabled(children);
    WindowTileHorizontal1->setEnabled(children);
    WindowTileVertical1->setEnabled(children);
}

void TMainForm::tileChildren(bool stacked) {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : ClientArea->subWindowList())
        if (w->isVisible() && !w->isMinimized()) windows.append(w);
    if (windows.isEmpty()) return;
    QRect area = ClientArea->viewport()->rect();
    int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized()) w->showNormal();
        if (stacked) {
            int h = area.height() / n;
            w->setGeometry(0, i * h, area.width(), h);
        } else {
            int width = area.width() / n;
            w->setGeometry(i * width, 0, width, area.height());
        }
    }
}

void TMainForm::FileNewItemClick() {
    QPrinter printer;
    if (!chosenPrinter().isEmpty()) printer.setPrinterName(chosenPrinter());
    QPrintDialog ps(&printer, this);
    ps.setObjectName(QStringLiteral("ps"));
    // The printouts of the run go to the printer chosen here.
    if (ps.exec() == QDialog::Accepted && printer.outputFormat() == QPrinter::NativeFormat)
        setChosenPrinter(printer.printerName());
}

void TMainForm::N15Click() {
    if (Frmchangepassword) Frmchangepassword->ShowModal();
}

void TMainForm::FileOpenItemClick() {
    // At once, without a question, unless leaving would lose what was typed.
    if (AskAboutUnsavedWork() == UnsavedWork::KeepWorking) return;
    TerminateApplication();
}

void TMainForm::N6Click() {
    ShowOrCreateForm(Frmchfl, MainForm);
}
void TMainForm::N3Click() {
    ShowOrCreateForm(Frmch, MainForm);
}
void TMainForm::N4Click() {
    ShowOrCreateForm(Frmkh, MainForm);
}
void TMainForm::N5Click() {
    ShowOrCreateForm(Frmywy, MainForm);
}
void TMainForm::N8Click() {
    ShowOrCreateForm(Frmkp, MainForm);
}

void TMainForm::N10Click() {
    if (Frmxsdquery) Frmxsdquery->ShowModal();
}

void TMainForm::N11Click() {
    if (Frmkhhzquery) Frmkhhzquery->ShowModal();
}

void TMainForm::N13Click() {
    if (Frmchhzquery) Frmchhzquery->ShowModal();
}

void TMainForm::N12Click() {
    if (Frmywyhzquery) Frmywyhzquery->ShowModal();
}

void TMainForm::N20Click() {
    ShowOrCreateForm(Frmjyfx, MainForm);
}

void TMainForm::N17Click() {
    ShowOrCreateForm(Frmusers, MainForm);
}

void TMainForm::N18Click() {
    if (Frmauditquery) Frmauditquery->ShowModal();
}

void TMainForm::N19Click() {
    ShowOrCreateForm(Frmbackup, MainForm);
}

void TMainForm::N14Click() {
    HelpWindow::showSection(QString());
}

void TMainForm::HelpAbout1Execute() {
    if (AboutBox) AboutBox->ShowModal();
}

}  // namespace velmora
