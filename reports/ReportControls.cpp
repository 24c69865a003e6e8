#include "reports/ReportControls.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>

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

}  // namespace velmora
