#pragma once
// The salesman sales summary query dialog.

#include "reports/SummaryQueryForm.h"

namespace velmora {

// The salesman sales summary query: the criteria dialog, created at start-up and reused. OK
// totals quantity, amount and orders per salesman and shows them in the result window.
class TFrmywyhzquery : public SummaryQueryForm {
    Q_OBJECT

  public:
    explicit TFrmywyhzquery(ClientSession& session);

  protected:
    // The salesman picker created at start-up.
    std::optional<QString> pickCode() override;
    const SummaryShape& shape() const override;
    SummaryResultForm* resultWindow() override;
};

inline TFrmywyhzquery* Frmywyhzquery = nullptr;

}  // namespace velmora
