#pragma once

#include <QLineEdit>
#include <functional>

#include "data/DataSetObserver.h"
#include "widgets/EditMask.h"

namespace velmora {

class ClientDataSet;
class DataSource;
class Field;

// An edit box bound to one field of the current row of a data source's dataset. It shows the
// field's text, applies the field's edit mask, and writes what is typed (or set with setText)
// into the field as it changes, so that a post made by a button that never takes the focus
// stores it. Typing into a row that is only browsed puts the dataset into edit mode.
class DBEdit : public QLineEdit, private DataSetObserver {
    Q_OBJECT

  public:
    explicit DBEdit(QWidget* parent = nullptr);
    ~DBEdit() override;

    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }
    void setDataField(const QString& fieldName);
    const QString& dataField() const { return fieldName_; }
    // The bound field, or null while the dataset is closed or has no such field.
    Field* field() const;

    // Read-only as the window sets it; a read-only field makes the box read-only as well.
    void setReadOnly(bool readOnly);
    bool ReadOnly() const { return readOnly_; }

    // The background colour (clInfoBk on display, clWindow for input in the maintenance windows).
    QColor Color() const;
    void setColor(const QColor& color);

    // Writes the text into the field now; throws what the field refuses (text that is no number
    // for a number field, say), which the box otherwise reports when the focus leaves it.
    void UpdateRecord();

    // Runs before the box handles a key; return true to swallow the key.
    using KeyPressHook = std::function<bool(QKeyEvent&)>;
    void setKeyPressHook(KeyPressHook hook) { keyPressHook_ = std::move(hook); }

    // Reads the field and its mask again.
    void refresh();

  signals:
    void doubleClicked();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void dataSetOpened(ClientDataSet&) override { refresh(); }
    void dataSetClosed(ClientDataSet&) override { refresh(); }
    void scrolled(ClientDataSet&) override { refresh(); }
    void stateChanged(ClientDataSet&) override { refresh(); }
    void dataChanged(ClientDataSet&) override { refresh(); }
    void recordChanged(ClientDataSet&, int field) override;

    void bind(ClientDataSet* dataSet);
    void applyMask(Field* f);
    void textWasChanged();
    void writeField(bool report);
    QString valueText() const;

    DataSource* source_ = nullptr;
    ClientDataSet* dataSet_ = nullptr;
    QString fieldName_;
    InputMask mask_;
    std::string maskSource_;
    KeyPressHook keyPressHook_;
    bool readOnly_ = false;
    bool loading_ = false;
    bool writing_ = false;
    bool pendingWrite_ = false;  // typed text the field refused so far
};

// True for the Enter key of the main keyboard and of the keypad.
bool isEnterKey(const QKeyEvent& event);

}  // namespace velmora
