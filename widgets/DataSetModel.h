#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "data/DataSetObserver.h"
#include "widgets/DBGridColumn.h"

namespace velmora {

class ClientDataSet;
class Field;

// The rows of a dataset as a Qt table model: one model row per row of the dataset's view, one
// model column per persistent column (or per visible field when there are none). It forwards the
// dataset's notices to Qt's begin/end calls, and writes edited cells into their fields.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit DataSetModel(QObject* parent = nullptr);
    ~DataSetModel() override;

    void setDataSet(ClientDataSet* dataSet);
    ClientDataSet* dataSet() const { return dataSet_; }
    // Persistent columns; an empty list shows every field but nested and hidden ones.
    void setColumns(std::vector<DBGridColumn> columns);
    const std::vector<DBGridColumn>& columns() const { return columns_; }
    bool hasPersistentColumns() const { return !columns_.empty(); }

    void setReadOnly(bool readOnly);
    bool readOnly() const { return readOnly_; }

    // The field shown in column, or null (dataset closed, field missing).
    Field* fieldAt(int column) const;
    // True for a persistent column marked as an amount.
    bool isAmountColumn(int column) const;
    // The row the dataset's cursor stands on, or -1.
    int cursorRow() const;
    // False when the last write of a cell was refused (and shown as an error).
    bool lastWriteSucceeded() const { return lastWriteOk_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Moves the cursor to the row, starts an edit and stores the text into the field.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  signals:
    // The dataset's cursor moved to row (-1: no row).
    void cursorMoved(int row);

  private:
    // Receives the dataset's notices; a member rather than a base, as Qt's model signals have
    // the same names.
    class Link : public DataSetObserver {
      public:
        explicit Link(DataSetModel& model) : model_(model) {}
        void dataSetOpened(ClientDataSet&) override { model_.resetAll(); }
        void dataSetClosed(ClientDataSet&) override { model_.resetAll(); }
        void dataChanged(ClientDataSet&) override { model_.resetAll(); }
        void scrolled(ClientDataSet&) override { model_.onScrolled(); }
        void stateChanged(ClientDataSet&) override { model_.onStateChanged(); }
        void recordChanged(ClientDataSet&, int) override { model_.onRecordChanged(); }
        void rowsAboutToBeInserted(ClientDataSet&, int first, int count) override {
            model_.onAboutToInsert(first, count);
        }
        void rowsInserted(ClientDataSet&, int, int) override { model_.onInserted(); }
        void rowsAboutToBeRemoved(ClientDataSet&, int first, int count) override {
            model_.onAboutToRemove(first, count);
        }
        void rowsRemoved(ClientDataSet&, int, int) override { model_.onRemoved(); }

      private:
        DataSetModel& model_;
    };

    void onScrolled();
    void onStateChanged();
    void onRecordChanged();
    void onAboutToInsert(int first, int count);
    void onInserted();
    void onAboutToRemove(int first, int count);
    void onRemoved();
    void resetAll();
    void mapFields();
    bool active() const;

    Link link_{*this};
    ClientDataSet* dataSet_ = nullptr;
    std::vector<DBGridColumn> columns_;
    std::vector<int> fieldOfColumn_;  // dataset field index per column, -1 when missing
    bool readOnly_ = false;
    bool lastWriteOk_ = true;
    bool inserting_ = false;
    bool removing_ = false;
    int indicatorRow_ = -1;
};

}  // namespace velmora
