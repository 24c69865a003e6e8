#pragma once
// The sales analysis window (经营分析).

#include <memory>
#include <vector>

#include "reports/AnalysisData.h"
#include "reports/AnalysisStatement.h"
#include "widgets/MdiChildForm.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPrinter;
class QToolButton;

namespace velmora {

class AnalysisChartPanel;
class BitBtn;
class ClientDataSet;
class ClientSession;
class Panel;

// The sales analysis window: criteria at the top (business dates, optional customer, salesman and
// item codes, a grouping of time), and four charts with their tables: 销售额趋势, 客户排行,
// 存货排行 and 业务员占比. Every number is grouped on the server. Choosing a bar, slice, point or
// table row opens 销售单查询结果 on the order lines behind it.
class TFrmjyfx : public MdiChildForm {
    Q_OBJECT

  public:
    TFrmjyfx(QWidget* owner, ClientSession& session);
    ~TFrmjyfx() override;

    Panel* Panel3 = nullptr;  // tools
    QToolButton* n_print = nullptr;
    QToolButton* n_export = nullptr;
    QToolButton* n_exit = nullptr;
    Panel* Panel1 = nullptr;  // criteria
    QLabel* Label1 = nullptr;
    QDateEdit* dp1 = nullptr;  // first date
    QLabel* Label9 = nullptr;
    QDateEdit* dp2 = nullptr;  // last date
    QLabel* Label5 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // 按日, 按月, 按季, 按年
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;  // customer code
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;  // salesman code
    QLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;            // item code
    QLabel* Label6 = nullptr;              // the pickers' hint
    BitBtn* BitBtn1 = nullptr;             // 查询
    AnalysisChartPanel* Chart1 = nullptr;  // 销售额趋势
    AnalysisChartPanel* Chart2 = nullptr;  // 客户排行
    AnalysisChartPanel* Chart3 = nullptr;  // 存货排行
    QComboBox* ComboBox2 = nullptr;        // 按金额, 按数量
    AnalysisChartPanel* Chart4 = nullptr;  // 业务员占比
    Panel* Panel2 = nullptr;               // totals
    QLabel* Label7 = nullptr;

    // Groups the sales of the criteria on the server and shows them; nothing changes when the
    // server refuses.
    void BitBtn1Click();
    // Opens the order list on the entry at index of a chart.
    void drillDown(const AnalysisChartPanel* chart, int index);
    // A print preview of the four charts with their tables, the criteria on top.
    void n_printClick();
    // Each chart as a PNG and the numbers as a workbook of one sheet per chart.
    void n_exportClick();
    void n_exitClick() { Close(); }

    // Paints the printout on printer (one page).
    void printTo(QPrinter& printer) const;
    // Writes the pictures and the workbook; the workbook at path, the pictures beside it.
    void exportTo(const QString& path) const;
    // The panels in the order they show.
    std::vector<AnalysisChartPanel*> panels() const { return {Chart1, Chart2, Chart3, Chart4}; }

  protected:
    void FormActivate() override { Maximize(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildToolPanel();
    void buildCriteria();
    void buildCharts();
    AnalysisCriteria criteria() const;
    std::unique_ptr<ClientDataSet> fetch(const std::string& statement) const;
    void showCharts();
    void showItemRanking();
    std::vector<std::string> drillCriteria(const std::string& what) const;

    ClientSession& session_;
    AnalysisCriteria shown_;  // the criteria of the charts shown
    std::vector<AnalysisGroup> periods_, customers_, items_, salesmen_;
    Ranking customerRanking_, itemRanking_;
};

inline TFrmjyfx* Frmjyfx = nullptr;

}  // namespace velmora
