#pragma once
// The customer sales summary result window.

#include <memory>

#include "reports/ReportResultForm.h"

namespace velmora {

class ClientDataSet;
class ClientSession;

// The customer sales summary result window: quantity and amount per customer and item, and their
// totals. It holds the rows it shows, so that other users of the shared query dataset (the user
// lists, the password change) cannot replace them under it.
class TFrmkhhzresult : public ReportResultForm {
    Q_OBJECT

  public:
    // Needs nothing of the session: the query hands it its rows.
    TFrmkhhzresult(QWidget* owner, ClientSession& session);
    ~TFrmkhhzresult() override;

    // Shows rows (an open dataset with khname, chname, sl and je) in place of the rows shown so
    // far, with the sums of sl and je as totals.
    void ShowRows(std::unique_ptr<ClientDataSet> rows);
    ClientDataSet* Rows() const { return rows_.get(); }

    void n_printClick() override;

    DataSource DataSourcehz{"DataSourcehz", nullptr};

  private:
    std::unique_ptr<ClientDataSet> rows_;
};

inline TFrmkhhzresult* Frmkhhzresult = nullptr;

}  // namespace velmora
