#pragma once
// The inventory item window.

#include <array>
#include <memory>

#include "masterdata/CategoryTreeForm.h"

class QLabel;

namespace velmora {

class ClientSession;
class DataSetFollower;
class DBEdit;
class DBGrid;
class Tdm;

// The inventory item window: the category tree, and the items of the sub-category clicked in a
// list and one item in edit boxes; new items are filed under the clicked sub-category. A child
// window of the main window, at most one open; it maximises itself when activated.
class TFrmch : public CategoryTreeForm {
    Q_OBJECT

  public:
    TFrmch(QWidget* owner, ClientSession& session);
    ~TFrmch() override;  // out of line: the follower's type is complete there

    std::array<QLabel*, 5> Labels{};  // Label1 to Label5, the captions of the boxes
    DBEdit* DBEdit1;                  // chid
    DBEdit* DBEdit2;                  // chname
    DBEdit* DBEdit3;                  // ggxh
    DBEdit* DBEdit4;                  // jldw
    DBEdit* DBEdit5;                  // chflid, never typed
    DBGrid* DBGrid1;

    void TreeView1Click();
    void n_insertClick();
    void n_editClick();
    void n_saveClick();
    void n_cancelClick();
    void n_deleteClick();
    void n_refreshClick();
    // The history (历史) of the item shown.
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
    void setItemFilter(const QString& code);

    std::unique_ptr<DataSetFollower> follower_;  // keeps 历史 in step with the item shown
};

inline TFrmch* Frmch = nullptr;

}  // namespace velmora
