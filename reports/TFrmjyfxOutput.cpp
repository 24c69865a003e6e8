// 经营分析's printout and export: the four charts with their tables on one page, and the charts
// as pictures beside a workbook of their numbers.
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>

#include "data/ValueText.h"
#include "reports/AnalysisChartPanel.h"
#include "reports/TFrmjyfx.h"
#include "reports/XlsxWriter.h"
#include "transport/Errors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FileDialogService.h"
#include "widgets/MessageService.h"
#include "widgets/PrintLayout.h"
#include "widgets/PrintPreview.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

// The pixels a chart is drawn with for the printout and the pictures.
const QSize kPictureSize(900, 540);

// Draws the rows of table into area, as many as fit; a last line says how many were left out.
void paintTable(QPainter& painter, const QRectF& area, const ChartTable& table) {
    const QFont font = printFont(7.5), bold = printFont(7.5, true);
    painter.setFont(font);
    const double line = painter.fontMetrics().height() * 1.15;
    const int columns = static_cast<int>(table.titles.size());
    if (columns == 0) return;
    const double width = area.width() / columns;
    int fitting = static_cast<int>(area.height() / line) - 1;  // less the titles
    const int rows = static_cast<int>(table.rows.size());
    const bool cut = rows > fitting;
    if (cut) --fitting;  // room for the line that says so
    double top = area.top();
    auto paintRow = [&](const QStringList& cells, const QFont& f) {
        painter.setFont(f);
        for (int c = 0; c < columns && c < cells.size(); ++c) {
            const bool number =
                static_cast<size_t>(c) < table.numeric.size() && table.numeric[static_cast<size_t>(c)];
            painter.drawText(QRectF(area.left() + c * width + 2, top, width - 4, line),
                             (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, cells[c]);
        }
        top += line;
    };
    paintRow(table.titles, bold);
    painter.drawLine(QPointF(area.left(), top), QPointF(area.right(), top));
    for (int r = 0; r < rows && r < fitting; ++r) paintRow(table.rows[static_cast<size_t>(r)], font);
    if (cut)
        paintRow({QStringLiteral("……共 %1 行，余下 %2 行见导出的工作簿").arg(rows).arg(rows - fitting)},
                 font);
}

}  // namespace

void TFrmjyfx::printTo(QPrinter& printer) const {
    QPainter painter(&printer);
    const QRectF page =
        printer.pageLayout()
            .paintRectPixels(printer.resolution())
            .translated(-printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
    painter.setFont(printFont(16, true));
    const double titleHeight = painter.fontMetrics().height() * 1.4;
    painter.drawText(QRectF(page.left(), page.top(), page.width(), titleHeight), Qt::AlignCenter,
                     QStringLiteral("经营分析"));
    painter.setFont(printFont(9));
    QStringList criteria;
    for (const std::string& c : describeAnalysisCriteria(shown_)) criteria << toQString(c);
    const double criteriaHeight = painter.fontMetrics().height() * 1.5;
    painter.drawText(QRectF(page.left(), page.top() + titleHeight, page.width(), criteriaHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, criteria.join(QStringLiteral("；")));
    const double footerHeight = painter.fontMetrics().height() * 1.5;
    painter.drawText(
        QRectF(page.left(), page.bottom() - footerHeight, page.width(), footerHeight),
        Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("打印日期：%1").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));

    // Two by two, as on screen: the chart over its table.
    const double top = page.top() + titleHeight + criteriaHeight;
    const double cellWidth = page.width() / 2, cellHeight = (page.bottom() - footerHeight - top) / 2;
    const double gap = cellWidth * 0.02;
    const auto charts = panels();
    for (size_t i = 0; i < charts.size(); ++i) {
        const QRectF cell(page.left() + static_cast<double>(i % 2) * cellWidth + gap / 2,
                          top + static_cast<double>(i / 2) * cellHeight + gap / 2, cellWidth - gap,
                          cellHeight - gap);
        const QImage picture = charts[i]->picture(kPictureSize);
        QSizeF shown =
            QSizeF(picture.size()).scaled(QSizeF(cell.width(), cell.height() * 0.62), Qt::KeepAspectRatio);
        const QRectF pictureRect(cell.left() + (cell.width() - shown.width()) / 2, cell.top(), shown.width(),
                                 shown.height());
        painter.drawImage(pictureRect, picture);
        paintTable(painter,
                   QRectF(cell.left(), pictureRect.bottom() + gap / 2, cell.width(),
                          cell.bottom() - pictureRect.bottom() - gap / 2),
                   charts[i]->shownTable());
    }
}

void TFrmjyfx::n_printClick() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("经营分析"));
    if (!chosenPrinter().isEmpty()) printer.setPrinterName(chosenPrinter());
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(QStringLiteral("打印预览 - 经营分析"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [this, &preview](QPrinter* target) {
        // A failed page is not left showing: the error is shown and the preview closes.
        if (!guarded([&] { printTo(*target); })) QTimer::singleShot(0, &preview, &QDialog::reject);
    });
    preview.resize(900, 700);
    preview.exec();
}

void TFrmjyfx::exportTo(const QString& path) const {
    QFileInfo file(path);
    const QString base = file.dir().filePath(file.completeBaseName());
    XlsxWriter workbook(toStdString(QDir::toNativeSeparators(path)), toStdString(Chart1->title()));
    bool first = true;
    for (const AnalysisChartPanel* chart : panels()) {
        if (!first) workbook.addSheet(toStdString(chart->title()));
        first = false;
        const ChartTable& table = chart->shownTable();
        std::vector<std::string> titles;
        for (const QString& t : table.titles) titles.push_back(toStdString(t));
        workbook.writeTitles(titles);
        for (const QStringList& row : table.rows) {
            std::vector<XlsxWriter::Cell> cells;
            for (int c = 0; c < row.size(); ++c) {
                XlsxWriter::Cell cell{toStdString(row[c]), std::nullopt, XlsxWriter::CellKind::Text};
                const bool numeric =
                    static_cast<size_t>(c) < table.numeric.size() && table.numeric[static_cast<size_t>(c)];
                if (numeric) cell.number = parseNumber(cell.text);
                if (cell.number) {
                    cell.kind = table.titles[c] == QStringLiteral("金额") ? XlsxWriter::CellKind::Amount
                                                                          : XlsxWriter::CellKind::Number;
                    cell.text.clear();
                }
                cells.push_back(std::move(cell));
            }
            workbook.writeRow(cells);
        }
        const QString picture = QStringLiteral("%1-%2.png").arg(base, chart->title());
        if (!chart->picture(kPictureSize).save(picture, "PNG"))
            throw VelmoraError("无法写入文件“" + toStdString(QDir::toNativeSeparators(picture)) + "”。");
    }
    workbook.close();
}

void TFrmjyfx::n_exportClick() {
    SaveFileRequest request;
    request.caption = QStringLiteral("导出 - 经营分析");
    request.suggestedName =
        QStringLiteral("经营分析-%1.xlsx").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    request.filters = {QStringLiteral("Excel 工作簿 (*.xlsx)")};
    const QString path = FileDialogService::getSaveFileName(this, request);
    if (path.isEmpty()) return;
    exportTo(path);
    QFileInfo file(path);
    MessageService::messageBox(
        QStringLiteral("已导出到“%1”，每个图表另存为同一文件夹中的 PNG 图片（%2-图表名.png）。")
            .arg(QDir::toNativeSeparators(path), file.completeBaseName()),
        QStringLiteral("Velmora系统"), MB_OK | MB_ICONINFORMATION);
}

}  // namespace velmora
