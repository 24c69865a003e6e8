#include "reports/ReportOutput.h"

#include <QDate>
#include <QDir>
#include <QProgressDialog>

#include "data/AmountText.h"
#include "reports/ReportTable.h"
#include "reports/TableExport.h"
#include "widgets/FileDialogService.h"
#include "widgets/MessageService.h"
#include "widgets/PrintPreview.h"
#include "widgets/PrintSheet.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

// Criteria printed per line under the title.
constexpr int kCriteriaPerLine = 3;

QStringList criteriaLines(const ReportTable& table) {
    QStringList lines, pieces;
    for (const std::string& piece : table.criteria) {
        pieces << toQString(piece);
        if (pieces.size() == kCriteriaPerLine) {
            lines << pieces.join(QStringLiteral("；"));
            pieces.clear();
        }
    }
    if (!pieces.isEmpty()) lines << pieces.join(QStringLiteral("；"));
    return lines;
}

}  // namespace

PrintSheet printSheetOf(const ReportTable& table) {
    PrintSheet sheet;
    sheet.title = toQString(table.title());
    sheet.headerLines = criteriaLines(table);
    for (const ReportColumn& column : table.columns())
        sheet.columns.push_back({toQString(column.title), column.kind != ReportColumn::Kind::Text});
    sheet.rowCount = table.rowCount();
    // Amounts read as the grid shows them, with two decimals.
    auto shown = [&table](int column, const std::string& text) {
        bool amount = table.columns()[static_cast<size_t>(column)].kind == ReportColumn::Kind::Amount;
        return toQString(amount ? amountDisplayText(text) : text);
    };
    sheet.cell = [&table, shown](int row, int column) { return shown(column, table.cellText(row, column)); };
    for (size_t c = 0; c < table.totals().size(); ++c)
        sheet.totals << (c == 0 ? toQString(table.totals()[c])
                                : shown(static_cast<int>(c), table.totals()[c]));
    return sheet;
}

void previewReport(const ReportTable& table, QWidget* parent) {
    showPrintPreview(printSheetOf(table), parent);
}

void exportReport(const ReportTable& table, QWidget* parent) {
    SaveFileRequest request;
    request.caption = QStringLiteral("导出 - %1").arg(toQString(table.title()));
    request.suggestedName =
        QStringLiteral("%1-%2.csv")
            .arg(toQString(table.title()), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    request.filters = {QStringLiteral("CSV 文件（UTF-8） (*.csv)"), QStringLiteral("Excel 工作簿 (*.xlsx)")};
    QString path = FileDialogService::getSaveFileName(parent, request);
    if (path.isEmpty()) return;

    QProgressDialog progress(QStringLiteral("正在导出…"), QStringLiteral("取消"), 0,
                             std::max(1, table.rowCount()), parent);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowTitle(request.caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    std::string file = toStdString(QDir::toNativeSeparators(path));
    bool finished = exportTable(table, file, exportFormatOf(file), [&progress](int done, int) {
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (!finished) return;
    MessageService::messageBox(QStringLiteral("已导出 %1 行到“%2”。").arg(table.rowCount()).arg(path),
                               QStringLiteral("Velmora系统"), MB_OK | MB_ICONINFORMATION);
}

}  // namespace velmora
