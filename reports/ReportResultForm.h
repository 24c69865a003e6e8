#pragma once

#include <string>
#include <vector>

#include "data/DataSource.h"
#include "reports/ReportTable.h"
#include "widgets/MdiChildForm.h"

class QLabel;
class QToolButton;

namespace velmora {

class DBGrid;
class DBNavigator;
class Panel;

// What the report result windows share: a tool panel with print, export, leave and a record
// navigator, a read-only grid filling the middle, and a totals panel at the bottom. A child
// window of the main window that maximises itself whenever it is activated. Print and export
// take the rows, columns and totals the window shows.
class ReportResultForm : public MdiChildForm {
    Q_OBJECT

  public:
    Panel* Panel3 = nullptr;  // tools
    QToolButton* n_print = nullptr;
    QToolButton* n_export = nullptr;
    QToolButton* n_exit = nullptr;
    DBNavigator* DBNavigator1 = nullptr;
    Panel* Panel1 = nullptr;  // grid
    DBGrid* DBGrid1 = nullptr;
    Panel* Panel2 = nullptr;  // totals
    QLabel* Label3 = nullptr;
    QLabel* Label1 = nullptr;  // quantity total
    QLabel* Label4 = nullptr;
    QLabel* Label2 = nullptr;  // amount total

    // A print preview of the rows, with the criteria and totals.
    void n_printClick();
    // The rows and totals written to a CSV or XLSX file.
    void n_exportClick();
    void n_exitClick() { Close(); }

    // The criteria that selected the rows, as the printout names them; set by the query.
    void setCriteria(std::vector<std::string> criteria) { criteria_ = std::move(criteria); }
    // What print and export take: the grid's columns over its rows, with the totals shown.
    ReportTable reportTable() const;

  protected:
    explicit ReportResultForm(QWidget* owner);

    // Binds the grid and the navigator to source (again, after its dataset changed).
    void bindTo(DataSource* source);
    void setTotals(const QString& quantity, const QString& money);
    // The title of the printout and of the exported sheet, and the fields under which the
    // quantity and amount totals stand (empty: no such total).
    void setReportTitle(const QString& title, std::string quantityField, std::string moneyField);
    // One more total under field (beside quantity and amount).
    void setExtraTotal(std::string field, const QString& text);
    // The sales order list's colours: the tool panel, money-green totals, odd rows pale yellow,
    // even rows pale green, the current cell red.
    void useListColours();

    void FormActivate() override { Maximize(); }

  private:
    void buildToolPanel();
    void buildTotalsPanel();

    QString reportTitle_;
    std::string quantityField_, moneyField_;
    std::vector<std::pair<std::string, QString>> extraTotals_;
    std::vector<std::string> criteria_;
};

}  // namespace velmora
