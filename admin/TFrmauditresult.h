#pragma once
// The audit log result window.

#include <string>
#include <vector>

#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "reports/ReportResultForm.h"

namespace velmora {

class ClientSession;
struct ReadableAuditRow;

// The rows the audit log query found, newest first: 时间, 用户, 操作, 对象, 关键字, 内容, 地址,
// 计算机, printed and exported as the other result windows. Holds its rows itself; a later query
// replaces them.
class TFrmauditresult : public ReportResultForm {
    Q_OBJECT

  public:
    TFrmauditresult(QWidget* owner, ClientSession& session);
    ~TFrmauditresult() override;

    QLabel* Label5 = nullptr;  // how many rows, and whether the server's cap cut them off

    // Shows rows, selected by criteria; capped: the server returned as many rows as it returns
    // at most, so older ones may be missing.
    void ShowRows(const std::vector<ReadableAuditRow>& rows, std::vector<std::string> criteria, bool capped);
    ClientDataSet& rows() { return rows_; }

  protected:
    void FormClose(CloseAction& action) override;

  private:
    ClientDataSet rows_{"ClientDataSetaudit"};
    DataSource source_{"DataSourceaudit", &rows_};
};

inline TFrmauditresult* Frmauditresult = nullptr;

}  // namespace velmora
