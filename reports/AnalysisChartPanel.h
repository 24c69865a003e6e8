#pragma once
// One chart of 经营分析 with the same numbers in a small table under it: a click on a bar, slice
// or point, Enter or a double-click on a row of the table asks for the orders behind it.

#include <QFrame>
#include <QImage>
#include <QString>
#include <QStringList>
#include <vector>

class QHBoxLayout;
class QLabel;
class QTableWidget;

class QChart;
class QChartView;

namespace velmora {

// The table under a chart: titles, rows of cell texts, and which columns hold numbers.
struct ChartTable {
    QStringList titles;
    std::vector<QStringList> rows;
    std::vector<bool> numeric;  // per column: right-aligned
};

class AnalysisChartPanel : public QFrame {
    Q_OBJECT

  public:
    // title names the chart (and the sheet and file it is exported to); name is the object name.
    AnalysisChartPanel(const QString& title, const QString& name, QWidget* parent);

    QString title() const { return title_; }
    QChartView* view() const { return view_; }
    QTableWidget* table() const { return table_; }
    QLabel* emptyLabel() const { return empty_; }
    // A row above the chart for the chart's own choices (存货排行's 按金额/按数量).
    QHBoxLayout* choices() const { return choices_; }

    // Shows chart (the panel takes it) and table; an empty table shows "无数据" over an empty
    // chart. description is what assistive technology reads for the chart.
    void show(QChart* chart, const ChartTable& table, const QString& description);
    bool isEmpty() const { return rows_ == 0; }
    const ChartTable& shownTable() const { return shown_; }

    // The chart as a picture of size (for printing and export).
    QImage picture(QSize size) const;

  signals:
    // The entry at index (a row of the table, a bar or slice of the chart) was chosen.
    void activated(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeEmptyLabel();

    QString title_;
    QHBoxLayout* choices_ = nullptr;
    QChartView* view_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* empty_ = nullptr;
    ChartTable shown_;
    int rows_ = 0;
};

}  // namespace velmora
