#pragma once

#include <QTreeWidget>

namespace velmora {

// The category tree: nodes with a closed folder picture that opens while the node is selected,
// indent 19, no header. Nodes are added as the last child of a parent; a mouse click on a node
// is reported on its own, as moving the selection with the keyboard locates nothing.
class FolderTreeView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit FolderTreeView(QWidget* parent = nullptr);

    // A new top-level node after the others.
    QTreeWidgetItem* addRootNode(const QString& text);
    // A new node after the other children of parent.
    QTreeWidgetItem* addChildNode(QTreeWidgetItem* parent, const QString& text);
    // Removes node together with every node below it.
    void removeNode(QTreeWidgetItem* node);
    // Removes every node.
    void clearNodes() { clear(); }

    // 0 for a top-level node, 1 for its children, and so on.
    static int nodeLevel(const QTreeWidgetItem* node);
    QTreeWidgetItem* selectedNode() const { return currentItem(); }
    // Selects node without reporting a click.
    void selectNode(QTreeWidgetItem* node);

  signals:
    void nodeClicked(QTreeWidgetItem* node);
};

}  // namespace velmora
