#pragma once
// The item sales summary query dialog.

#include "reports/SummaryQueryForm.h"

namespace velmora {

// The item sales summary query: the criteria dialog, created at start-up and reused. OK totals
// quantity and amount per item and shows them in the result window.
class TFrmchhzquery : public SummaryQueryForm {
    Q_OBJECT

  public:
    explicit TFrmchhzquery(ClientSession& session);

  protected:
    // The item picker, created for this use and freed afterwards; the first item selected.
    std::optional<QString> pickCode() override;
    const SummaryShape& shape() const override;
    SummaryResultForm* resultWindow() override;
};

inline TFrmchhzquery* Frmchhzquery = nullptr;

}  // namespace velmora
