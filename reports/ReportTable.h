#pragma once
// What a printed or exported report holds: its title, the criteria that selected its rows, the
// columns as the window shows them, the rows of a dataset, and a totals row. Plain C++, so the
// export writers and their tests need no Qt.

#include <optional>
#include <string>
#include <vector>

namespace velmora {

class ClientDataSet;

struct ReportColumn {
    enum class Kind { Text, Number, Amount };  // an amount has two decimals in a spreadsheet
    std::string field;
    std::string title;
    Kind kind = Kind::Text;
};

// A view of the rows of an open dataset through the report's columns. The dataset must stay open
// and unchanged while the table is read.
class ReportTable {
  public:
    ReportTable(std::string title, std::vector<ReportColumn> columns, ClientDataSet* rows);

    const std::string& title() const { return title_; }
    const std::vector<ReportColumn>& columns() const { return columns_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    int rowCount() const;

    // The criteria, one line each ("业务日期：2003-01-01 至 2003-01-31").
    std::vector<std::string> criteria;

    // The text of a cell as the grid shows it: numbers without thousands separators, dates as
    // yyyy-MM-dd; "" for null or for a column the dataset lacks.
    std::string cellText(int row, int column) const;
    // The number in a cell of a numeric column; nullopt for text, null or a missing column.
    std::optional<double> cellNumber(int row, int column) const;

    // The totals row: "合计" in the first column and each total under its field; empty texts
    // elsewhere. Empty when no total was set.
    void setTotal(const std::string& field, const std::string& text);
    const std::vector<std::string>& totals() const { return totals_; }
    bool hasTotals() const { return !totals_.empty(); }

  private:
    std::string title_;
    std::vector<ReportColumn> columns_;
    ClientDataSet* rows_;
    std::vector<int> fieldIndex_;  // per column; -1 when the dataset has no such field
    std::vector<std::string> totals_;
};

}  // namespace velmora
