#include "widgets/DataSetModel.h"

#include "data/AmountText.h"
#include "data/ClientDataSet.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Glyphs.h"
#include "widgets/Text.h"

namespace velmora {

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

DataSetModel::~DataSetModel() {
    if (dataSet_) dataSet_->removeObserver(&link_);
}

void DataSetModel::setDataSet(ClientDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    beginResetModel();
    if (dataSet_) dataSet_->removeObserver(&link_);
    dataSet_ = dataSet;
    if (dataSet_) dataSet_->addObserver(&link_);
    mapFields();
    endResetModel();
    emit cursorMoved(cursorRow());
}

void DataSetModel::setColumns(std::vector<DBGridColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    mapFields();
    endResetModel();
}

void DataSetModel::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
}

bool DataSetModel::active() const {
    return dataSet_ && dataSet_->Active();
}

void DataSetModel::mapFields() {
    fieldOfColumn_.clear();
    if (!columns_.empty()) {
        for (const DBGridColumn& c : columns_) {
            Field* f = active() ? dataSet_->FindField(toStdString(c.fieldName)) : nullptr;
            fieldOfColumn_.push_back(f ? f->Index() : -1);
        }
        return;
    }
    if (!active()) return;
    for (int i = 0; i < dataSet_->FieldCount(); ++i) {
        const Field& f = dataSet_->Fields(i);
        if (f.DataType() != FieldType::DataSet && !f.def().hasFlag(kFieldHidden)) fieldOfColumn_.push_back(i);
    }
}

void DataSetModel::resetAll() {
    beginResetModel();
    mapFields();
    inserting_ = removing_ = false;
    endResetModel();
    emit cursorMoved(cursorRow());
}

Field* DataSetModel::fieldAt(int column) const {
    if (!active() || column < 0 || column >= static_cast<int>(fieldOfColumn_.size())) return nullptr;
    int f = fieldOfColumn_[static_cast<size_t>(column)];
    return f < 0 || f >= dataSet_->FieldCount() ? nullptr : &dataSet_->Fields(f);
}

bool DataSetModel::isAmountColumn(int column) const {
    return column >= 0 && column < static_cast<int>(columns_.size()) &&
           columns_[static_cast<size_t>(column)].amount;
}

int DataSetModel::cursorRow() const {
    if (!active() || dataSet_->IsEmpty()) return -1;
    return dataSet_->RecNo() - 1;
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !active()) return 0;
    return dataSet_->RecordCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(columns_.empty() ? fieldOfColumn_.size() : columns_.size());
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    Field* f = fieldAt(index.column());
    if (!f || index.row() >= rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            try {
                std::string text = dataSet_->textAt(index.row(), f->Index());
                // Edited as stored; shown as an amount where the column holds one.
                if (role == Qt::DisplayRole && isAmountColumn(index.column())) text = amountDisplayText(text);
                return toQString(text);
            } catch (...) {
                return {};
            }
        case Qt::TextAlignmentRole: {
            bool number = f->DataType() == FieldType::Integer || f->DataType() == FieldType::Double ||
                          isAmountColumn(index.column());
            return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
        }
        default:
            return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role != Qt::DisplayRole) return {};
        if (!columns_.empty()) {
            if (section < 0 || section >= static_cast<int>(columns_.size())) return {};
            const DBGridColumn& c = columns_[static_cast<size_t>(section)];
            return c.title.isEmpty() ? c.fieldName : c.title;
        }
        Field* f = fieldAt(section);
        return f ? toQString(f->FieldName()) : QVariant();
    }
    // The row indicator: an arrow on the current row, a caret while it is edited, a star while
    // it is inserted.
    if (role == Qt::DecorationRole && section == cursorRow()) {
        switch (dataSet_->State()) {
            case DataSetState::Edit:
                return indicatorGlyph(IndicatorKind::Edit);
            case DataSetState::Insert:
                return indicatorGlyph(IndicatorKind::Insert);
            default:
                return indicatorGlyph(IndicatorKind::Current);
        }
    }
    if (role == Qt::DisplayRole) return QString();
    return {};
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    Field* f = fieldAt(index.column());
    bool columnReadOnly = !columns_.empty() && columns_[static_cast<size_t>(index.column())].readOnly;
    if (!readOnly_ && f && !f->ReadOnly() && !columnReadOnly) flags |= Qt::ItemIsEditable;
    return flags;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    Field* f = fieldAt(index.column());
    if (!f) return false;
    int fieldIndex = f->Index();
    lastWriteOk_ = guarded([&] {
        if (index.row() != cursorRow()) dataSet_->setRecNo(index.row() + 1);
        if (dataSet_->State() == DataSetState::Browse) dataSet_->Edit();
        dataSet_->Fields(fieldIndex).setAsString(toStdString(value.toString()));
    });
    return lastWriteOk_;
}

void DataSetModel::onScrolled() {
    int row = cursorRow();
    if (indicatorRow_ != row) {
        int old = indicatorRow_;
        indicatorRow_ = row;
        if (old >= 0 && old < rowCount()) emit headerDataChanged(Qt::Vertical, old, old);
        if (row >= 0) emit headerDataChanged(Qt::Vertical, row, row);
    }
    emit cursorMoved(row);
}

void DataSetModel::onStateChanged() {
    int row = cursorRow();
    if (row >= 0) emit headerDataChanged(Qt::Vertical, row, row);
}

void DataSetModel::onRecordChanged() {
    int row = cursorRow();
    if (row < 0 || columnCount() == 0) return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DataSetModel::onAboutToInsert(int first, int count) {
    beginInsertRows(QModelIndex(), first, first + count - 1);
    inserting_ = true;
}

void DataSetModel::onInserted() {
    if (!inserting_) return resetAll();
    inserting_ = false;
    endInsertRows();
}

void DataSetModel::onAboutToRemove(int first, int count) {
    beginRemoveRows(QModelIndex(), first, first + count - 1);
    removing_ = true;
}

void DataSetModel::onRemoved() {
    if (!removing_) return resetAll();
    removing_ = false;
    endRemoveRows();
}

}  // namespace velmora
