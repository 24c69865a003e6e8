#include "widgets/DBEdit.h"

#include <QKeyEvent>

#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/ReadableWhenDisabled.h"
#include "widgets/Text.h"

namespace velmora {

bool isEnterKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent) {
    keepTextReadableWhenDisabled(this);
    connect(this, &QLineEdit::textChanged, this, [this] { textWasChanged(); });
}

DBEdit::~DBEdit() {
    bind(nullptr);
}

void DBEdit::bind(ClientDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_) dataSet_->removeObserver(this);
    dataSet_ = dataSet;
    if (dataSet_) dataSet_->addObserver(this);
}

void DBEdit::setDataSource(DataSource* source) {
    source_ = source;
    bind(source ? source->DataSet() : nullptr);
    refresh();
}

void DBEdit::setDataField(const QString& fieldName) {
    fieldName_ = fieldName;
    refresh();
}

Field* DBEdit::field() const {
    if (!dataSet_ || !dataSet_->Active() || fieldName_.isEmpty()) return nullptr;
    return dataSet_->FindField(toStdString(fieldName_));
}

void DBEdit::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    Field* f = field();
    QLineEdit::setReadOnly(readOnly_ || (f && f->ReadOnly()));
}

QColor DBEdit::Color() const {
    return controlColor(this);
}
void DBEdit::setColor(const QColor& color) {
    setControlColor(this, color);
}

void DBEdit::applyMask(Field* f) {
    std::string wanted = f ? f->EditMask() : std::string();
    if (wanted == maskSource_) return;
    maskSource_ = wanted;
    mask_ = translateEditMask(wanted);
    setInputMask(mask_.qtMask);
}

void DBEdit::refresh() {
    if (source_ && source_->DataSet() != dataSet_) bind(source_->DataSet());
    if (writing_) return;
    loading_ = true;
    Field* f = field();
    QString text;
    try {
        if (f && dataSet_->RecordCount() > 0) text = toQString(f->AsString());
    } catch (...) {
        // A dataset without a current row shows an empty box.
    }
    applyMask(f);
    if (f && f->DataType() == FieldType::String && f->Size() > 0)
        setMaxLength(static_cast<int>(f->Size()));
    else
        setMaxLength(32767);
    if (valueText() != text) setText(text);
    QLineEdit::setReadOnly(readOnly_ || (f && f->ReadOnly()));
    pendingWrite_ = false;
    loading_ = false;
}

void DBEdit::recordChanged(ClientDataSet&, int fieldIndex) {
    if (writing_) return;
    Field* f = field();
    if (fieldIndex < 0 || (f && f->Index() == fieldIndex)) refresh();
}

QString DBEdit::valueText() const {
    if (mask_.empty()) return text();
    QString qtMask = mask_.qtMask;
    QChar blank = qtMask.size() >= 2 && qtMask[qtMask.size() - 2] == QLatin1Char(';') ? qtMask.back()
                                                                                      : QLatin1Char(' ');
    return maskedValue(displayText(), blank, mask_);
}

void DBEdit::textWasChanged() {
    if (loading_) return;
    Field* f = field();
    if (!f) return;
    DataSetState state = dataSet_->State();
    if (state == DataSetState::Browse) {
        // Text set by the program into a row nobody edits stays on screen only; typing into it
        // starts an edit, as it would in any data-aware box.
        if (!hasFocus() || isReadOnly()) return;
        // The edit's own notices must not put the field's old text back over what was typed.
        writing_ = true;
        bool editing = guarded([this] { dataSet_->Edit(); });
        writing_ = false;
        if (!editing) {
            refresh();
            return;
        }
    }
    writeField(false);
}

void DBEdit::writeField(bool report) {
    Field* f = field();
    if (!f) return;
    DataSetState state = dataSet_->State();
    if (state != DataSetState::Edit && state != DataSetState::Insert) return;
    writing_ = true;
    try {
        f->setAsString(toStdString(valueText()));
        pendingWrite_ = false;
    } catch (...) {
        // Half-typed text ("-", "1.") is not a number yet; the field takes it once it is.
        pendingWrite_ = true;
        writing_ = false;
        if (report) throw;
        return;
    }
    writing_ = false;
}

void DBEdit::UpdateRecord() {
    if (pendingWrite_) writeField(true);
}

void DBEdit::keyPressEvent(QKeyEvent* event) {
    if (keyPressHook_) {
        bool swallowed = false;
        if (!guarded([&] { swallowed = keyPressHook_(*event); })) swallowed = true;
        if (swallowed) {
            event->accept();
            return;
        }
    }
    // Esc in a data-aware box gives back the field's value, as the grid's editor does.
    if (event->key() == Qt::Key_Escape && dataSet_ && pendingWrite_) {
        refresh();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void DBEdit::focusInEvent(QFocusEvent* event) {
    // The window may have changed the field's mask since the box last read it.
    loading_ = true;
    applyMask(field());
    loading_ = false;
    QLineEdit::focusInEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (pendingWrite_) guarded([this] { UpdateRecord(); });
}

}  // namespace velmora
