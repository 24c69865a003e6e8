#pragma once
// The controls the report dialogs are laid out with, placed at fixed positions as the other
// dialogs of the program are.

#include <QDate>
#include <QString>
#include <string>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;

namespace velmora {

class ClientDataSet;

// A caption at left, top, as wide as its text.
QLabel* addLabel(QWidget* parent, const char* name, int left, int top, const QString& text);
// A flat button of a tool panel, 60 x 22 at left, 8.
QToolButton* addFlatButton(QWidget* parent, const char* name, int left, const QString& caption);
// An edit box 21 pixels high.
QLineEdit* addEdit(QWidget* parent, const char* name, int left, int top, int width);
// A date picker with a drop-down calendar, date only, in the short date format, 21 pixels high,
// starting at date.
QDateEdit* addDatePicker(QWidget* parent, const char* name, int left, int top, int width, QDate date);

// The short date text of a picker's date.
std::string pickerDateText(const QDateEdit* picker);

// Fills box with the names of the login's user list, read through hz, after an empty entry when
// anyone is asked for; the list is rebuilt rather than added to, and what was typed stays.
void fillUserNames(QComboBox* box, ClientDataSet& hz, bool anyone);

// The date the report dialogs' pickers hold when the program starts.
inline QDate initialReportDate() {
    return QDate(2002, 12, 31);
}

}  // namespace velmora
