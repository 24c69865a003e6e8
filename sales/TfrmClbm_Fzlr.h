#pragma once

#include <vector>

#include "DialogForm.h"
#include "PickedItem.h"

class QLabel;

namespace velmora {

class BitBtn;
class DBGrid;
class Panel;

// The item picker: a multi-select grid of the items ClientDataSetch holds. Created for each use
// and freed afterwards; OK leaves the selected items in PickedItems.
class TfrmClbm_Fzlr : public DialogForm {
    Q_OBJECT

  public:
    explicit TfrmClbm_Fzlr(QWidget* parent = nullptr);

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
};

// The items chosen in the last item picker confirmed with OK, in the order in which they stand
// in the dataset; emptied each time a picker is created.
inline std::vector<PickedItem> PickedItems;

inline TfrmClbm_Fzlr* frmClbm_Fzlr = nullptr;

}  // namespace velmora
