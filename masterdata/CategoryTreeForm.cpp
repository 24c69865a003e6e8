#include "masterdata/CategoryTreeForm.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "data/ClientDataSet.h"
#include "masterdata/MaintenanceBar.h"
#include "widgets/FolderTreeView.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

constexpr int kDesignTreeWidth = 137;
constexpr int kWidestFittedTree = 320;

// The tree panel's width as the user last dragged it, kept for the run and shared by the
// category and item windows; 0 until a splitter was dragged.
int& rememberedTreeWidth() {
    static int width = 0;
    return width;
}

}  // namespace

bool CategoryTreeForm::hasUnsavedChanges() const {
    return Panel1->editing();
}

CategoryTreeForm::CategoryTreeForm(QWidget* owner) : MdiChildForm(owner) {
    Panel1 = new MaintenanceBar(this);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    Panel2 = new Panel(Splitter1, Panel::Bevel::None);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    TreeView1 = new FolderTreeView(Panel2);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    // Node texts are shown whole; a narrow panel scrolls sideways instead of cutting them.
    TreeView1->setTextElideMode(Qt::ElideNone);
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeView1->header()->setStretchLastSection(false);
    auto* treeLayout = new QVBoxLayout(Panel2);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    treeLayout->addWidget(TreeView1);

    PageControl1 = new QTabWidget(Splitter1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("单张"));
    PageControl1->addTab(TabSheet2, QStringLiteral("列表"));
    PageControl1->setCurrentWidget(TabSheet2);

    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(PageControl1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kDesignTreeWidth, 600});
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] {
        rememberedTreeWidth() = Panel2->width();
        treeWidth_ = 0;  // the user's width from now on
    });
    Splitter1->installEventFilter(this);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(StatusBar1);
}

QTreeWidgetItem* CategoryTreeForm::RootNode() const {
    return TreeView1->topLevelItemCount() > 0 ? TreeView1->topLevelItem(0) : nullptr;
}

bool CategoryTreeForm::isRoot(const QTreeWidgetItem* node) {
    return node && FolderTreeView::nodeLevel(node) == 0;
}

CategoryLevel CategoryTreeForm::nodeKind(const QTreeWidgetItem* node) {
    if (!node) return CategoryLevel::None;
    switch (FolderTreeView::nodeLevel(node)) {
        case 1:
            return CategoryLevel::Top;
        case 2:
            return CategoryLevel::Sub;
        default:
            return CategoryLevel::None;
    }
}

void CategoryTreeForm::setStatusText(const QString& text) {
    StatusPanel0->setText(text);
    StatusBar1->repaint();
}

bool CategoryTreeForm::firstShowing() {
    bool first = !shown_;
    shown_ = true;
    return first;
}

void CategoryTreeForm::showPage(QWidget* page) {
    PageControl1->setCurrentWidget(page);
}

void CategoryTreeForm::BuildTree(ClientDataSet& categories) {
    setStatusText(QStringLiteral("正在进行数据处理..."));
    // The status text goes whatever happens, and a dataset that cannot be read (closed, say)
    // fails before the tree is touched, so the tree shown stays whole.
    struct ClearStatus {
        CategoryTreeForm* form;
        ~ClearStatus() { form->setStatusText(QString()); }
    } clearStatus{this};
    categories.setIndexFieldNames("chflid");
    categories.First();
    TreeView1->clearNodes();
    QTreeWidgetItem* root = TreeView1->addRootNode(QStringLiteral("存货分类"));
    // A sub-category that sorts before every top-level row has no parent node to go under; it
    // stays in the list only, like a row of any other length.
    QTreeWidgetItem* topLevel = nullptr;
    while (!categories.Eof()) {
        QString code = toQString(categories.FieldByName("chflid").AsString());
        QString name = toQString(categories.FieldByName("chflname").AsString());
        switch (categoryLevel(code)) {
            case CategoryLevel::Top:
                topLevel = TreeView1->addChildNode(root, categoryNodeText(code, name));
                break;
            case CategoryLevel::Sub:
                if (topLevel) TreeView1->addChildNode(topLevel, categoryNodeText(code, name));
                break;
            case CategoryLevel::None:
                break;
        }
        categories.Next();
    }
    TreeView1->expandAll();
}

void CategoryTreeForm::fitTreePanel() {
    int width = rememberedTreeWidth();
    if (width <= 0) {
        // Wide enough for the codes and names at their deepest indent, as far as is reasonable.
        TreeView1->resizeColumnToContents(0);
        int needed = TreeView1->header()->sectionSize(0) + 2 * TreeView1->frameWidth() +
                     2 * Panel2->bevelWidth() + TreeView1->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                     4;
        width = std::clamp(needed, kDesignTreeWidth, kWidestFittedTree);
    }
    treeWidth_ = width;
    applyTreeWidth();
}

void CategoryTreeForm::applyTreeWidth() {
    if (treeWidth_ <= 0) return;
    // A splitter not yet laid out (or as narrow as a window being created) would scale the sizes
    // down; the width is given again as the splitter grows, until the user drags it.
    int rest = std::max(Splitter1->width() - treeWidth_ - Splitter1->handleWidth(), 1);
    Splitter1->setSizes({treeWidth_, rest});
}

bool CategoryTreeForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Splitter1 && event->type() == QEvent::Resize) applyTreeWidth();
    return MdiChildForm::eventFilter(watched, event);
}

}  // namespace velmora
