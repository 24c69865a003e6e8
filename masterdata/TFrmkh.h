#pragma once
// The customer window.

#include "masterdata/RecordListForm.h"

namespace velmora {

class ClientSession;
class Tdm;

// The customer window: every customer in a grid, one customer's six fields in the boxes below. A
// child window of the main window, at most one open; it maximises itself when activated. A save
// that fails in any way is reported as a probable duplicate customer code.
class TFrmkh : public RecordListForm {
    Q_OBJECT

  public:
    TFrmkh(QWidget* owner, ClientSession& session);

    void n_saveClick() override;

  private:
    Tdm& dm;
};

inline TFrmkh* Frmkh = nullptr;

}  // namespace velmora
