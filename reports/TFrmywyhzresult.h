#pragma once
// The salesman sales summary result window.

#include "reports/SummaryResultForm.h"

namespace velmora {

class ClientSession;

// The salesman sales summary result window: quantity, amount and number of orders per salesman,
// and their totals, in the sales order list's colours.
class TFrmywyhzresult : public SummaryResultForm {
    Q_OBJECT

  public:
    // Needs nothing of the session: the query hands it its rows.
    TFrmywyhzresult(QWidget* owner, ClientSession& session);
};

inline TFrmywyhzresult* Frmywyhzresult = nullptr;

}  // namespace velmora
