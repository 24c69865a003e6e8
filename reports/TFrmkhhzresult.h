#pragma once
// The customer sales summary result window.

#include "reports/SummaryResultForm.h"

namespace velmora {

class ClientSession;

// The customer sales summary result window: quantity and amount per customer and item, and their
// totals.
class TFrmkhhzresult : public SummaryResultForm {
    Q_OBJECT

  public:
    // Needs nothing of the session: the query hands it its rows.
    TFrmkhhzresult(QWidget* owner, ClientSession& session);
};

inline TFrmkhhzresult* Frmkhhzresult = nullptr;

}  // namespace velmora
