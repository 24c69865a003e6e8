#pragma once
// The item picker.

#include <string>

#include "widgets/DialogForm.h"

class QLabel;

namespace velmora {

class BitBtn;
class ClientSession;
class DBGrid;
class Panel;

// The item picker: a multi-select grid of the items ClientDataSetch holds. Created for each use
// and freed afterwards; OK leaves the selected items in the session's PickedItems, in the order
// in which they stand in the dataset; creating a picker empties that list.
class TfrmClbm_Fzlr : public DialogForm {
    Q_OBJECT

  public:
    explicit TfrmClbm_Fzlr(ClientSession& session, QWidget* parent = nullptr);
    ~TfrmClbm_Fzlr() override;

    Panel* Panel1 = nullptr;  // upper: the grid
    Panel* Panel2 = nullptr;  // lower: hints and buttons
    DBGrid* DBGrid1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel

    void BitBtn1Click();

  private:
    void FormCreate();

    ClientSession& session_;
    std::string savedFilter_;
    bool savedFiltered_ = false;
};

inline TfrmClbm_Fzlr* frmClbm_Fzlr = nullptr;

}  // namespace velmora
