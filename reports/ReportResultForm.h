#pragma once

#include "data/DataSource.h"
#include "widgets/MdiChildForm.h"

class QLabel;
class QToolButton;

namespace velmora {

class DBGrid;
class DBNavigator;
class Panel;

// What the two report result windows share: a tool panel with print, leave and a record
// navigator, a read-only grid filling the middle, and a totals panel at the bottom. A child
// window of the main window that maximises itself whenever it is activated.
class ReportResultForm : public MdiChildForm {
    Q_OBJECT

  public:
    Panel* Panel3 = nullptr;  // tools
    QToolButton* n_print = nullptr;
    QToolButton* n_exit = nullptr;
    DBNavigator* DBNavigator1 = nullptr;
    Panel* Panel1 = nullptr;  // grid
    DBGrid* DBGrid1 = nullptr;
    Panel* Panel2 = nullptr;  // totals
    QLabel* Label3 = nullptr;
    QLabel* Label1 = nullptr;  // quantity total
    QLabel* Label4 = nullptr;
    QLabel* Label2 = nullptr;  // amount total

    virtual void n_printClick() = 0;
    void n_exitClick() { Close(); }

  protected:
    explicit ReportResultForm(QWidget* owner);

    // Binds the grid and the navigator to source (again, after its dataset changed).
    void bindTo(DataSource* source);
    void setTotals(const QString& quantity, const QString& money);

    void FormActivate() override { Maximize(); }

  private:
    void buildToolPanel();
    void buildTotalsPanel();
};

}  // namespace velmora
