#include "widgets/DBGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "data/DataSource.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGridDelegate.h"
#include "widgets/DataSetModel.h"
#include "widgets/ErrorGuard.h"
#include "widgets/MessageService.h"
#include "widgets/ReadableWhenDisabled.h"

namespace velmora {

namespace {
constexpr int kDefaultColumnWidth = 64;
}

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new DataSetModel(this)) {
    setModel(model_);
    setItemDelegate(new DBGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    // The row indicator column: an arrow on the current row.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(12);
    verticalHeader()->setHighlightSections(false);
    int rowHeight = fontMetrics().height() + 5;
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    applyEditTriggers();

    connect(model_, &DataSetModel::cursorMoved, this, [this](int row) { followCursor(row); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        followCursor(model_->cursorRow());
    });
    setAccessibleName(kDefaultAccessibleName);
    keepTextReadableWhenDisabled(this);
}

DBGrid::~DBGrid() {
    model_->setDataSet(nullptr);
}

void DBGrid::setDataSource(DataSource* source) {
    source_ = source;
    model_->setDataSet(source ? source->DataSet() : nullptr);
    applyColumnWidths();
}

ClientDataSet* DBGrid::dataSet() const {
    return model_->dataSet();
}

void DBGrid::setColumns(std::vector<DBGridColumn> columns) {
    model_->setColumns(std::move(columns));
    applyColumnWidths();
}

void DBGrid::setAmountFields(std::initializer_list<const char*> fields) {
    std::vector<DBGridColumn> marked = model_->columns();
    for (DBGridColumn& column : marked)
        column.amount = std::any_of(fields.begin(), fields.end(), [&column](const char* f) {
            return column.fieldName == QLatin1String(f);
        });
    setColumns(std::move(marked));
}

const std::vector<DBGridColumn>& DBGrid::columns() const {
    return model_->columns();
}

Field* DBGrid::columnField(int column) const {
    return model_->fieldAt(column);
}

void DBGrid::applyColumnWidths() {
    const auto& cols = model_->columns();
    for (int i = 0; i < model_->columnCount(); ++i) {
        int width = i < static_cast<int>(cols.size()) ? cols[static_cast<size_t>(i)].width : -1;
        // A column is never narrower than its title: a title cut off says nothing.
        setColumnWidth(
            i, std::max(width > 0 ? width : kDefaultColumnWidth, horizontalHeader()->sectionSizeHint(i)));
    }
}

bool DBGrid::ReadOnly() const {
    return readOnly_;
}

void DBGrid::setReadOnly(bool readOnly) {
    if (readOnly && state() == QAbstractItemView::EditingState) {
        // The cell being edited is stored, as leaving it would store it. The viewport's only
        // child widgets are cell editors.
        for (QWidget* editor : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    readOnly_ = readOnly;
    model_->setReadOnly(readOnly);
    applyEditTriggers();
}

void DBGrid::applyEditTriggers() {
    setEditTriggers(readOnly_ ? QAbstractItemView::NoEditTriggers
                              : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
}

bool DBGrid::columnReadOnly(int column) const {
    if (readOnly_) return true;
    const auto& cols = model_->columns();
    if (column >= 0 && column < static_cast<int>(cols.size()) && cols[static_cast<size_t>(column)].readOnly)
        return true;
    Field* f = columnField(column);
    return f && f->ReadOnly();
}

QColor DBGrid::Color() const {
    return controlColor(this);
}
void DBGrid::setColor(const QColor& color) {
    setControlColor(this, color);
}

void DBGrid::setTitleFont(const QFont& font) {
    horizontalHeader()->setFont(font);
    applyColumnWidths();
}

void DBGrid::setRowSelect(bool on) {
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void DBGrid::setMultiSelect(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    if (on) setRowSelect(true);
}

std::vector<Bookmark> DBGrid::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<Bookmark> marks;
    ClientDataSet* ds = dataSet();
    if (!ds || !ds->Active()) return marks;
    for (int row : rows)
        if (row < ds->RecordCount()) marks.push_back(ds->bookmarkAt(row));
    return marks;
}

int DBGrid::SelectedIndex() const {
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

void DBGrid::setSelectedIndex(int column) {
    int row = model_->cursorRow();
    if (row < 0 || column < 0 || column >= model_->columnCount()) return;
    setCurrentIndex(model_->index(row, column));
}

void DBGrid::followCursor(int row) {
    if (following_) return;
    following_ = true;
    if (row >= 0 && model_->columnCount() > 0) {
        int column = currentIndex().isValid() ? currentIndex().column() : 0;
        QModelIndex target = model_->index(row, std::min(column, model_->columnCount() - 1));
        if (target != currentIndex()) {
            QItemSelectionModel::SelectionFlags command =
                selectionMode() == QAbstractItemView::ExtendedSelection ? QItemSelectionModel::NoUpdate
                                                                        : QItemSelectionModel::ClearAndSelect;
            if (selectionBehavior() == QAbstractItemView::SelectRows) command |= QItemSelectionModel::Rows;
            selectionModel()->setCurrentIndex(target, command);
        }
        scrollTo(target);
    }
    following_ = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    viewport()->update();
    if (following_ || !current.isValid()) return;
    ClientDataSet* ds = dataSet();
    if (!ds || !ds->Active() || current.row() == model_->cursorRow()) return;
    // Leaving a row posts its pending edit; a refused post keeps the cursor where it was.
    if (!guarded([&] { ds->setRecNo(current.row() + 1); })) followCursor(model_->cursorRow());
}

bool DBGrid::runKeyPressHook(QKeyEvent& event) {
    if (!keyPressHook_) return false;
    bool swallowed = false;
    if (!guarded([&] { swallowed = keyPressHook_(event, SelectedIndex()); })) return true;
    return swallowed;
}

bool DBGrid::rowEditingKey(QKeyEvent& event) {
    ClientDataSet* ds = dataSet();
    if (readOnly_ || !ds || !ds->Active()) return false;
    DataSetState state = ds->State();
    bool pending = state == DataSetState::Edit || state == DataSetState::Insert;
    switch (event.key()) {
        case Qt::Key_Insert:
            if (event.modifiers() != Qt::NoModifier) return false;
            guarded([ds] { ds->Insert(); });
            return true;
        case Qt::Key_Down:
            if (event.modifiers() != Qt::NoModifier || model_->cursorRow() + 1 < model_->rowCount())
                return false;
            // A new row that nothing was typed into yet is not followed by another.
            if (state == DataSetState::Insert && !ds->Modified()) return true;
            guarded([ds] { ds->Append(); });
            return true;
        case Qt::Key_Delete:
            if (event.modifiers() != Qt::ControlModifier || ds->IsEmpty()) return false;
            if (MessageService::messageDlg(QStringLiteral("删除记录吗?"), DialogKind::Confirmation,
                                           MessageButtons::OkCancel) == MessageButton::Ok)
                guarded([ds] { ds->Delete(); });
            return true;
        case Qt::Key_Escape:
            if (!pending) return false;
            guarded([ds] { ds->Cancel(); });
            return true;
        default:
            return false;
    }
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    if (runKeyPressHook(*event) || rowEditingKey(*event)) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

}  // namespace velmora
