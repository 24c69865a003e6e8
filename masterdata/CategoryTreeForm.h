#pragma once

#include "masterdata/CategoryCode.h"
#include "widgets/MdiChildForm.h"

class QLabel;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTreeWidgetItem;

namespace velmora {

class ClientDataSet;
class FolderTreeView;
class MaintenanceBar;
class Panel;

// What the category and item windows share: the button bar, the category tree in a left panel
// 137 pixels wide (wider when the names need it, or as the user last dragged it), a splitter, the pages
// "单张" and "列表" (the list page shown first) and a status bar of one panel. Both build the tree from the
// categories the client holds.
class CategoryTreeForm : public MdiChildForm {
    Q_OBJECT

  public:
    explicit CategoryTreeForm(QWidget* owner);

    MaintenanceBar* Panel1;
    Panel* Panel2;  // holds the tree
    FolderTreeView* TreeView1;
    QSplitter* Splitter1;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;  // 单张
    QWidget* TabSheet2;  // 列表
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;

    // The root node "存货分类", or null before the tree was built.
    QTreeWidgetItem* RootNode() const;
    // The level of a node: the root, a top-level category or a sub-category.
    static CategoryLevel nodeKind(const QTreeWidgetItem* node);
    static bool isRoot(const QTreeWidgetItem* node);

    // Fills the tree from the rows of categories, in code order: a node "(code) name" under the
    // root for a code of two characters, under the top-level node before it for a code of six.
    void BuildTree(ClientDataSet& categories);

    bool hasUnsavedChanges() const override;

  protected:
    void showPage(QWidget* page);
    void setStatusText(const QString& text);
    // True the first time only: the window builds its tree and browse state when it first shows,
    // never again when it is only shown or activated anew (a rebuild would drop the selection
    // and, in edit state, the state itself).
    bool firstShowing();
    // Gives the tree panel the width the user last dragged it to in this run, or else one that
    // shows the codes and names of the tree whole.
    void fitTreePanel();

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyTreeWidth();

    bool shown_ = false;
    int treeWidth_ = 0;  // the width the tree panel is kept at while the splitter is resized
};

}  // namespace velmora
