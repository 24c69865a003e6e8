#pragma once

#include <QTableView>
#include <functional>
#include <initializer_list>
#include <vector>

#include "data/ClientDataSet.h"
#include "widgets/DBGridColumn.h"

namespace velmora {

class DataSetModel;
class DataSource;
class Field;

// What a custom cell drawing handler gets for one data cell. brush and font start as the grid
// would paint the cell; DefaultDrawColumnCell paints it with them (background, then text).
struct DrawCellContext {
    QPainter* painter = nullptr;
    QRect rect;
    int row = 0;     // 0-based row of the dataset's view
    int recNo = 0;   // the row's record number: row + 1
    int column = 0;  // grid column
    Field* field = nullptr;
    bool selected = false;  // the current cell, or a selected row
    bool focused = false;   // the current cell while the grid has the focus
    QColor brush;
    QColor font;
    std::function<void()> DefaultDrawColumnCell;
};

// A grid bound to a data source: one row per row of the dataset, its current row following the
// dataset's cursor both ways. Columns are persistent (fields, titles, widths) or, without any,
// every visible field. Editing stores a cell into its field when it is left; Enter stores it
// before the key handler runs. Unless read-only, the grid's own keys edit rows as well: Insert
// inserts a row, Down on the last row appends one, Ctrl+Delete deletes the current row after a
// confirmation, Esc drops the pending insert or edit.
class DBGrid : public QTableView {
    Q_OBJECT

  public:
    // What a grid is called until its window names it.
    static inline const QString kDefaultAccessibleName = QStringLiteral("数据表格");

    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    ClientDataSet* dataSet() const;
    DataSetModel* dataModel() const { return model_; }

    void setColumns(std::vector<DBGridColumn> columns);
    const std::vector<DBGridColumn>& columns() const;
    // The field of a column, or null.
    Field* columnField(int column) const;

    // Marks the columns showing these fields as amounts (two decimals at least, right-aligned).
    void setAmountFields(std::initializer_list<const char*> fields);

    bool ReadOnly() const;
    void setReadOnly(bool readOnly);
    // True when the grid, the column or its field refuses input.
    bool columnReadOnly(int column) const;

    QColor Color() const;
    void setColor(const QColor& color);
    void setTitleFont(const QFont& font);

    // Whole rows are selected instead of single cells.
    void setRowSelect(bool on);
    // Several rows can be selected: a click selects one, Ctrl+click adds or removes one.
    void setMultiSelect(bool on);
    // The selected rows, in the order in which they stand in the dataset.
    std::vector<Bookmark> SelectedRows() const;

    // The current column.
    int SelectedIndex() const;
    void setSelectedIndex(int column);

    // Runs when a key is pressed in the grid or its cell editor, with the current column;
    // return true to swallow the key. For Enter the edited cell is stored first.
    using KeyPressHook = std::function<bool(QKeyEvent& key, int column)>;
    void setKeyPressHook(KeyPressHook hook) { keyPressHook_ = std::move(hook); }
    // Replaces the painting of every data cell.
    using DrawColumnCellHook = std::function<void(DrawCellContext&)>;
    void setDrawColumnCellHook(DrawColumnCellHook hook) { drawHook_ = std::move(hook); }
    const DrawColumnCellHook& drawColumnCellHook() const { return drawHook_; }

    // Called by the cell editor: Enter (after the cell was stored) and every other key pressed
    // in it go through the key hook. Returns true when the hook swallowed the key.
    bool runKeyPressHook(QKeyEvent& event);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    // The row keys above; true when the key was one of them.
    bool rowEditingKey(QKeyEvent& event);
    void followCursor(int row);
    void applyColumnWidths();
    void applyEditTriggers();

    DataSource* source_ = nullptr;
    DataSetModel* model_;
    bool readOnly_ = false;
    bool following_ = false;
    KeyPressHook keyPressHook_;
    DrawColumnCellHook drawHook_;
};

}  // namespace velmora
