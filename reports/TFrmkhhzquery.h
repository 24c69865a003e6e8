#pragma once
// The customer sales summary query dialog.

#include "reports/SummaryQueryForm.h"

namespace velmora {

// The customer sales summary query: the criteria dialog, created at start-up and reused. OK
// totals quantity and amount per customer and item and shows them in the result window.
class TFrmkhhzquery : public SummaryQueryForm {
    Q_OBJECT

  public:
    explicit TFrmkhhzquery(ClientSession& session);

  protected:
    // The customer picker, created for this use and freed afterwards.
    std::optional<QString> pickCode() override;
    const SummaryShape& shape() const override;
    SummaryResultForm* resultWindow() override;
};

inline TFrmkhhzquery* Frmkhhzquery = nullptr;

}  // namespace velmora
