#include "widgets/DatePicker.h"

namespace velmora {

QString shortDateText(const QDate& date) {
    return date.toString(ShortDateFormat);
}

QString todayText() {
    return shortDateText(QDate::currentDate());
}

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setDisplayFormat(ShortDateFormat);
}

}  // namespace velmora
