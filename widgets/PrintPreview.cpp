#include "widgets/PrintPreview.h"

#include <QPageLayout>
#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QTimer>
#include <climits>

#include "widgets/ErrorGuard.h"
#include "widgets/PrintLayout.h"

namespace velmora {

namespace {

// Only a printout that takes a while shows its progress.
constexpr int kProgressDelayMs = 400;

}  // namespace

namespace {
QString& chosenPrinterName() {
    static QString name;
    return name;
}
}  // namespace

void setChosenPrinter(const QString& name) {
    chosenPrinterName() = name;
}

QString chosenPrinter() {
    return chosenPrinterName();
}

bool isPreview(QPrinter& printer) {
    // The preview swaps the printer's engine for one that records pictures.
    QPaintEngine* engine = printer.paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}

bool printWithProgress(const PrintSheet& sheet, QPrinter& printer, QWidget* parent, int maxPages) {
    QProgressDialog progress(QStringLiteral("正在生成打印页面…"), QStringLiteral("取消"), 0, 1, parent);
    progress.setObjectName(QStringLiteral("PrintProgress"));
    progress.setWindowTitle(sheet.title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    bool finished = printSheet(
        sheet, printer,
        [&progress](int done, int pages) {
            if (progress.maximum() != pages) progress.setMaximum(pages);
            // setValue lets the dialog's Cancel be pressed while the pages are painted.
            progress.setValue(done);
            progress.setLabelText(
                QStringLiteral("正在生成打印页面：第 %1 页，共 %2 页").arg(done).arg(pages));
            return !progress.wasCanceled();
        },
        maxPages);
    return finished;
}

void showPrintPreview(const PrintSheet& sheet, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(sheet.title);
    // A printer chosen in the setup that has gone since is passed over for the default.
    if (!chosenPrinter().isEmpty() && !QPrinterInfo::printerInfo(chosenPrinter()).isNull())
        printer.setPrinterName(chosenPrinter());
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    printer.setPageOrientation(QPageLayout::Portrait);
    if (PrintLayout::needsLandscape(sheet, printer)) printer.setPageOrientation(QPageLayout::Landscape);

    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    preview.setWindowTitle(QStringLiteral("打印预览 - %1").arg(sheet.title));
    const QString title = preview.windowTitle();
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* target) {
        bool finished = false;
        bool previewing = isPreview(*target);
        guarded([&] {
            finished = printWithProgress(sheet, *target, &preview, previewing ? kPreviewPages : INT_MAX);
        });
        if (previewing) {
            int pages = PrintLayout(sheet, *target).pageCount();
            preview.setWindowTitle(pages <= kPreviewPages
                                       ? title
                                       : QStringLiteral("%1（预览前 %2 页，共 %3 页；打印时输出全部）")
                                             .arg(title)
                                             .arg(kPreviewPages)
                                             .arg(pages));
        }
        // A cancelled or failed preview is not left showing a part of the printout.
        if (!finished) QTimer::singleShot(0, &preview, &QDialog::reject);
    });
    preview.resize(900, 700);
    preview.exec();
}

}  // namespace velmora
