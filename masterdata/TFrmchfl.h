#pragma once
// The inventory category window.

#include "masterdata/CategoryTreeForm.h"

class QLabel;

namespace velmora {

class ClientSession;
class DBEdit;
class DBGrid;
class Tdm;

// The inventory category window: the two-level category tree, one category's code and name, and
// the list of every category. A child window of the main window, at most one open; it maximises
// itself when activated. Every save and delete is applied to the server at once.
class TFrmchfl : public CategoryTreeForm {
    Q_OBJECT

  public:
    TFrmchfl(QWidget* owner, ClientSession& session);

    QLabel* Label1;  // the code format
    QLabel* Label2;
    QLabel* Label3;
    DBEdit* DBEdit1;  // chflid
    DBEdit* DBEdit2;  // chflname
    DBGrid* DBGrid1;

    // Kept between a button press and the save.
    QTreeWidgetItem* ParentNode = nullptr;
    QTreeWidgetItem* EditedNode = nullptr;
    bool IsInserting = false;
    QString ParentCode;

    void TreeView1Click();
    void n_insertClick();
    void n_editClick();
    void n_saveClick();
    void n_cancelClick();
    void n_deleteClick();
    void n_refreshClick();
    // The history (历史) of the category selected.
    void n_historyClick();
    void n_exitClick();

  protected:
    void FormShow() override;
    void FormActivate() override { Maximize(); }
    void FormClose(CloseAction& action) override;

  private:
    ClientSession& session_;
    Tdm& dm;

    void ToggleEditState();
    void setCodeMask(const char* mask);
    // Puts a parent's code into the code box, the cursor on the first digit still to type.
    void putParentCode(const QString& code);
    // The code as the code box holds it for the field: typed digits and the hyphen.
    QString typedCode() const;
    // Makes the row of node's category the current row; false when the client holds none.
    bool locateRow(QTreeWidgetItem* node);
    bool confirmDelete();
    void deleteCategory(QTreeWidgetItem* node);
};

inline TFrmchfl* Frmchfl = nullptr;

}  // namespace velmora
