// Printouts laid out and printed to PDF: pagination with the column titles on every page, the
// totals and closing lines after the last row, the page footer, landscape for wide tables, the
// typeface covering every character printed, and a large printout stopped from its progress.
#include <QFile>
#include <QFontInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QRawFont>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "tests/gui/GuiTestSupport.h"
#include "widgets/Fonts.h"
#include "widgets/PrintLayout.h"
#include "widgets/PrintPreview.h"
#include "widgets/PrintSheet.h"

using namespace velmora;

namespace {

PrintSheet numberedSheet(int rows, int columns = 3) {
    PrintSheet sheet;
    sheet.title = QStringLiteral("测试报表");
    sheet.headerLines = {QStringLiteral("业务日期：2003-01-01 至 2003-01-31")};
    for (int c = 0; c < columns; ++c) sheet.columns.push_back({QStringLiteral("第%1列").arg(c + 1), c > 0});
    sheet.rowCount = rows;
    sheet.cell = [](int row, int column) { return QStringLiteral("r%1c%2").arg(row).arg(column); };
    sheet.totals = {QStringLiteral("合计"), QStringLiteral("123.5")};
    sheet.footerLines = {QStringLiteral("制单人：管理员")};
    sheet.printDate = QDate(2003, 2, 1);
    return sheet;
}

void pdfOn(QPrinter& printer, const QString& path,
           QPageLayout::Orientation orientation = QPageLayout::Portrait) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(orientation);
}

int pdfPageCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    QByteArray pdf = file.readAll();
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return static_cast<int>(QString::fromLatin1(pdf).count(page));
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void rowsRunOverPagesWithTitlesOnEveryPageAndTotalsAfterTheLast() {
        PrintSheet sheet = numberedSheet(500);
        QPrinter printer(QPrinter::HighResolution);
        QString path = dir.filePath("many.pdf");
        pdfOn(printer, path);
        PrintLayout layout(sheet, printer);
        QVERIFY(layout.pageCount() > 5);

        int printed = 0;
        for (int page = 0; page < layout.pageCount(); ++page) {
            QStringList texts = layout.pageTexts(page);
            QVERIFY(texts.contains("第1列") && texts.contains("第3列"));
            QVERIFY(
                texts.contains(QStringLiteral("第 %1 页 / 共 %2 页").arg(page + 1).arg(layout.pageCount())));
            QVERIFY(texts.contains("打印日期：2003-02-01"));
            QCOMPARE(texts.contains("测试报表"), page == 0);
            QCOMPARE(texts.contains("业务日期：2003-01-01 至 2003-01-31"), page == 0);
            bool last = page == layout.pageCount() - 1;
            QCOMPARE(texts.contains("合计") && texts.contains("123.5"), last);
            QCOMPARE(texts.contains("制单人：管理员"), last);
            // Rows follow on from page to page, none twice, none left out.
            for (int row = layout.firstRowOf(page); row < layout.firstRowOf(page) + layout.rowsOn(page);
                 ++row)
                QVERIFY(texts.contains(QStringLiteral("r%1c0").arg(row)));
            QCOMPARE(layout.firstRowOf(page), printed);
            printed += layout.rowsOn(page);
        }
        QCOMPARE(printed, 500);

        QVERIFY(printSheet(sheet, printer));
        QCOMPARE(pdfPageCount(path), layout.pageCount());
    }

    void closingThatNoLongerFitsGetsAPageOfItsOwn() {
        QPrinter printer(QPrinter::HighResolution);
        pdfOn(printer, dir.filePath("fit.pdf"));
        // The most rows the first page holds with room for the totals, and one more.
        int fits = 1;
        while (PrintLayout(numberedSheet(fits + 1), printer).pageCount() == 1) ++fits;
        PrintSheet full = numberedSheet(fits + 1);
        PrintLayout layout(full, printer);
        QCOMPARE(layout.pageCount(), 2);
        QCOMPARE(layout.rowsOn(0) + layout.rowsOn(1), fits + 1);
        QVERIFY(layout.pageTexts(1).contains("合计"));
        QVERIFY(!layout.pageTexts(0).contains("合计"));
    }

    void emptySheetIsOnePageWithTitlesAndTotals() {
        QPrinter printer(QPrinter::HighResolution);
        QString path = dir.filePath("empty.pdf");
        pdfOn(printer, path);
        PrintSheet sheet = numberedSheet(0);
        PrintLayout layout(sheet, printer);
        QCOMPARE(layout.pageCount(), 1);
        QCOMPARE(layout.rowsOn(0), 0);
        QVERIFY(layout.pageTexts(0).contains("第2列"));
        QVERIFY(printSheet(sheet, printer));
        QCOMPARE(pdfPageCount(path), 1);
    }

    void wideTablesAskForLandscapeNarrowOnesDoNot() {
        QPrinter printer(QPrinter::HighResolution);
        pdfOn(printer, dir.filePath("wide.pdf"));
        QVERIFY(!PrintLayout::needsLandscape(numberedSheet(10, 4), printer));
        PrintSheet wide = numberedSheet(10, 15);
        wide.cell = [](int, int) { return QStringLiteral("很长的中文存货名称"); };
        QVERIFY(PrintLayout::needsLandscape(wide, printer));
        printer.setPageOrientation(QPageLayout::Landscape);
        QVERIFY2(PrintLayout::needsLandscape(wide, printer), "judged on the portrait width whatever is set");
    }

    void printFontIsTheWindowsTypefaceAndHasEveryGlyph() {
        QFont font = printFont(9);
        QCOMPARE(QFontInfo(font).family(), QFontInfo(songFont()).family());
        QRawFont raw = QRawFont::fromFont(font);
        QVERIFY(raw.isValid());
        const QString printed = QStringLiteral(
            "销售发票号开票日期客户编号名称业务员存货规格型号计量单位数量单价金额合计制单人审核人"
            "第页共打印续：（）0123456789.-");
        for (QChar c : printed) QVERIFY2(raw.supportsCharacter(c), qPrintable(QString(c)));
    }

    void pdfEmbedsTheChineseTypeface() {
        QPrinter printer(QPrinter::HighResolution);
        QString path = dir.filePath("font.pdf");
        pdfOn(printer, path);
        QVERIFY(printSheet(numberedSheet(3), printer));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray pdf = file.readAll();
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdf.contains("/FontFile2"));
        // The embedded font is named after the typeface (a subset prefix before it).
        static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/([^\\s/]+)"));
        QStringList fonts;
        for (auto it = baseFont.globalMatch(QString::fromLatin1(pdf)); it.hasNext();)
            fonts << it.next().captured(1);
        QString family = QFontInfo(printFont(9)).family().remove(' ');
        bool named = std::any_of(fonts.begin(), fonts.end(), [&family](const QString& font) {
            return family.contains(font, Qt::CaseInsensitive) || font.contains(family, Qt::CaseInsensitive);
        });
        QVERIFY2(named, qPrintable(fonts.join(' ') + " / " + family));
    }

    void aPreviewPaintsItsFirstPagesPrintingPaintsAll() {
        PrintSheet sheet = numberedSheet(3000);
        QPrinter printer(QPrinter::HighResolution);
        QString path = dir.filePath("first.pdf");
        pdfOn(printer, path);
        QVERIFY(!isPreview(printer));
        int pages = PrintLayout(sheet, printer).pageCount();
        QVERIFY(pages > 5);
        QVERIFY(printSheet(sheet, printer, {}, 5));
        QCOMPARE(pdfPageCount(path), 5);

        // Inside a preview the printer records pictures, and the preview holds only the first pages.
        QPrinter previewPrinter(QPrinter::HighResolution);
        QPrintPreviewWidget preview(&previewPrinter);
        bool sawPreview = false;
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&](QPrinter* target) {
            sawPreview = isPreview(*target);
            printSheet(numberedSheet(100000), *target, {}, kPreviewPages);
        });
        preview.updatePreview();
        QVERIFY(sawPreview);
        QCOMPARE(preview.pageCount(), kPreviewPages);
    }

    void aChosenPrinterThatIsGoneLeavesTheDefault() {
        setChosenPrinter("没有这台打印机");
        QString used = "unset";
        test::whenModal([&used](QWidget* dialog) {
            used = qobject_cast<QPrintPreviewDialog*>(dialog)->printer()->printerName();
            dialog->close();
        });
        showPrintPreview(numberedSheet(3), nullptr);
        setChosenPrinter(QString());
        QCOMPARE(used, QPrinter().printerName());
    }

    void largePrintoutStopsWhenItsProgressIsCancelled() {
        PrintSheet sheet = numberedSheet(200000, 15);
        QPrinter printer(QPrinter::HighResolution);
        pdfOn(printer, dir.filePath("large.pdf"), QPageLayout::Landscape);
        int pages = PrintLayout(sheet, printer).pageCount();
        QVERIFY(pages > 1000);

        // Pages are counted until the dialog shows; then its Cancel is pressed.
        int shownAt = 0, lastRow = -1;
        sheet.cell = [&lastRow](int row, int column) {
            lastRow = row;
            return QStringLiteral("r%1c%2").arg(row).arg(column);
        };
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* progress = qApp->findChild<QProgressDialog*>("PrintProgress", Qt::FindChildrenRecursively);
            if (!progress) {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->objectName() == "PrintProgress") progress = qobject_cast<QProgressDialog*>(w);
            }
            if (progress && progress->isVisible() && !shownAt) {
                shownAt = progress->value();
                progress->cancel();
            }
        });
        poll.start(20);
        QVERIFY(!printWithProgress(sheet, printer, nullptr));
        poll.stop();
        QVERIFY(shownAt > 0);
        QVERIFY2(lastRow < 199999, "the rows after the cancel were never read");
    }
};

VELMORA_GUI_TEST_MAIN(PrintTest)
#include "PrintTest.moc"
