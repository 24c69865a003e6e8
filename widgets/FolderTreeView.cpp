#include "widgets/FolderTreeView.h"

#include "widgets/Glyphs.h"

namespace velmora {

FolderTreeView::FolderTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(19);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(QStringLiteral("分类树"));
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { emit nodeClicked(item); });
}

namespace {
QTreeWidgetItem* makeNode(const QString& text) {
    auto* node = new QTreeWidgetItem(QStringList{text});
    static const QIcon icon = folderIcon();
    node->setIcon(0, icon);
    return node;
}
}  // namespace

QTreeWidgetItem* FolderTreeView::addRootNode(const QString& text) {
    QTreeWidgetItem* node = makeNode(text);
    addTopLevelItem(node);
    return node;
}

QTreeWidgetItem* FolderTreeView::addChildNode(QTreeWidgetItem* parent, const QString& text) {
    if (!parent) return addRootNode(text);
    QTreeWidgetItem* node = makeNode(text);
    parent->addChild(node);
    return node;
}

void FolderTreeView::removeNode(QTreeWidgetItem* node) {
    delete node;
}

int FolderTreeView::nodeLevel(const QTreeWidgetItem* node) {
    int level = 0;
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent()) ++level;
    return level;
}

void FolderTreeView::selectNode(QTreeWidgetItem* node) {
    setCurrentItem(node);
    if (node) node->setSelected(true);
}

}  // namespace velmora
