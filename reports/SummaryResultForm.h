#pragma once

#include <memory>

#include "reports/ReportResultForm.h"

namespace velmora {

class ClientDataSet;

// What the sales summary result windows share: they hold the rows they show (so that other users
// of the shared query dataset, the user lists and the password change, cannot replace them under
// it) and total the quantity sl, the amount je and, where there is one, the order count djs.
class SummaryResultForm : public ReportResultForm {
    Q_OBJECT

  public:
    ~SummaryResultForm() override;

    // Shows rows (an open dataset of the summary's columns) in place of the rows shown so far.
    void ShowRows(std::unique_ptr<ClientDataSet> rows);
    ClientDataSet* Rows() const { return rows_.get(); }

    DataSource DataSourcehz{"DataSourcehz", nullptr};

  protected:
    explicit SummaryResultForm(QWidget* owner);

  private:
    std::unique_ptr<ClientDataSet> rows_;
};

}  // namespace velmora
