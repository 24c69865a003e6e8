#pragma once
// The salesman window.

#include "masterdata/RecordListForm.h"

namespace velmora {

class ClientSession;
class Tdm;

// The salesman window: every salesman in a grid, one salesman's four fields in the boxes below. A
// child window of the main window, at most one open; it maximises itself when activated. A failed
// save reaches the error display.
class TFrmywy : public RecordListForm {
    Q_OBJECT

  public:
    TFrmywy(QWidget* owner, ClientSession& session);

    void n_saveClick() override;

  private:
    Tdm& dm;
};

inline TFrmywy* Frmywy = nullptr;

}  // namespace velmora
