#pragma once
// What a printout holds, apart from the printer: a title, lines under it, a table whose rows are
// read as they are printed, a totals row and closing lines. Invoices and reports are both sheets.

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace velmora {

struct PrintColumn {
    QString title;
    bool number = false;  // right-aligned
};

struct PrintSheet {
    QString title;
    QStringList headerLines;  // under the title on the first page: criteria, an invoice's header
    std::vector<PrintColumn> columns;
    int rowCount = 0;
    // The text of a cell; called only while printing, for the rows of the pages printed.
    std::function<QString(int row, int column)> cell;
    QStringList totals;       // the last row, in bold; none when empty
    QStringList footerLines;  // after the table on the last page
    QString stamp;            // a red framed mark beside the title on the first page; none when empty
    QDate printDate = QDate::currentDate();
};

}  // namespace velmora
