#pragma once

#include <QWidget>
#include <array>

#include "data/DataSetObserver.h"

class QToolButton;

namespace velmora {

class ClientDataSet;
class DataSource;

// A record navigator: buttons that move the cursor of a data source's dataset to the first,
// prior, next and last row, each disabled while it cannot move (closed dataset, first or last
// row reached).
class DBNavigator : public QWidget, private DataSetObserver {
    Q_OBJECT

  public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast };

    explicit DBNavigator(QWidget* parent = nullptr);
    ~DBNavigator() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    void setFlat(bool flat);
    QToolButton* button(Button which) const { return buttons_[which]; }
    // Performs the button's move, as a click does.
    void BtnClick(Button which);

  private:
    void dataSetOpened(ClientDataSet&) override { updateButtons(); }
    void dataSetClosed(ClientDataSet&) override { updateButtons(); }
    void scrolled(ClientDataSet&) override { updateButtons(); }
    void dataChanged(ClientDataSet&) override { updateButtons(); }
    void stateChanged(ClientDataSet&) override { updateButtons(); }
    void rowsInserted(ClientDataSet&, int, int) override { updateButtons(); }
    void rowsRemoved(ClientDataSet&, int, int) override { updateButtons(); }

    void updateButtons();

    DataSource* source_ = nullptr;
    ClientDataSet* dataSet_ = nullptr;
    std::array<QToolButton*, 4> buttons_{};
};

}  // namespace velmora
