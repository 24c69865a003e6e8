#pragma once
// Dates as the windows show and store them: the short date format yyyy-MM-dd, so that the
// order of the text is the order of the dates (they are compared as text on the server).

#include <QDateEdit>
#include <QString>

namespace velmora {

inline const QString ShortDateFormat = QStringLiteral("yyyy-MM-dd");

// A date in the short date format.
QString shortDateText(const QDate& date);
// Today's date in the short date format.
QString todayText();

// A date picker with a drop-down calendar, date only, in the short date format.
class DatePicker : public QDateEdit {
    Q_OBJECT

  public:
    explicit DatePicker(QWidget* parent = nullptr);
};

}  // namespace velmora
