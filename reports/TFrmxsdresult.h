#pragma once
// The sales order list result window.

#include "reports/ReportResultForm.h"

namespace velmora {

class ClientSession;
class Tdm;

// The sales order list result window: the order lines the query selected, in a grid with
// alternating row colours, and their totals. Created by the query dialog; it closes the rows'
// dataset when it closes.
class TFrmxsdresult : public ReportResultForm {
    Q_OBJECT

  public:
    TFrmxsdresult(QWidget* owner, ClientSession& session);

    // Shows the session's list totals: at creation, and again when a later query reuses the
    // window.
    void ShowTotals();

  protected:
    void FormClose(CloseAction& action) override;

  private:
    ClientSession& session_;
    Tdm& dm;
};

inline TFrmxsdresult* Frmxsdresult = nullptr;

}  // namespace velmora
