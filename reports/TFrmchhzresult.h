#pragma once
// The item sales summary result window.

#include "reports/SummaryResultForm.h"

namespace velmora {

class ClientSession;

// The item sales summary result window: quantity and amount per item code, with the item's name,
// model and unit, and their totals, in the sales order list's colours.
class TFrmchhzresult : public SummaryResultForm {
    Q_OBJECT

  public:
    // Needs nothing of the session: the query hands it its rows.
    TFrmchhzresult(QWidget* owner, ClientSession& session);
};

inline TFrmchhzresult* Frmchhzresult = nullptr;

}  // namespace velmora
