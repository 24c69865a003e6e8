#include "reports/ReportControls.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "data/ClientDataSet.h"
#include "reports/SqlText.h"
#include "widgets/DatePicker.h"

namespace velmora {

QLabel* addLabel(QWidget* parent, const char* name, int left, int top, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QToolButton* addFlatButton(QWidget* parent, const char* name, int left, const QString& caption) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setAutoRaise(true);
    button->setGeometry(left, 8, 60, 22);
    return button;
}

QLineEdit* addEdit(QWidget* parent, const char* name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(left, top, width, 21);
    return edit;
}

QDateEdit* addDatePicker(QWidget* parent, const char* name, int left, int top, int width, QDate date) {
    auto* picker = new DatePicker(parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDate(date);
    picker->setGeometry(left, top, width, 21);
    return picker;
}

std::string pickerDateText(const QDateEdit* picker) {
    QDate d = picker->date();
    return shortDateText(d.year(), d.month(), d.day());
}

void fillUserNames(QComboBox* box, ClientDataSet& hz, bool anyone) {
    const QString typed = box->currentText();
    box->clear();
    hz.Close();
    hz.setCommandText("");
    hz.setCommandText("select username from user1");
    hz.Open();
    if (anyone) box->addItem(QString());
    for (int row = 0, n = hz.RecordCount(); row < n; ++row)
        box->addItem(QString::fromStdString(hz.textAt(row, 0)));
    box->setEditText(typed);
}

}  // namespace velmora
