// Printing and export of the report result windows against the real velmora-server: the printout
// built from what the window shows (criteria, column titles on every page, every row, totals)
// rendered to PDF, and the files the export button writes, read back.
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/ReportOutput.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmkhhzresult.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmxsdresult.h"
#include "tests/reports/ReportSession.h"
#include "widgets/FileDialogService.h"
#include "widgets/PrintLayout.h"
#include "widgets/PrintSheet.h"

using namespace velmora;
using velmora::test::ReportSession;

namespace {

void wholeRange(TFrmxsdquery& f) {
    f.dp1->setDate(QDate(2002, 10, 1));
    f.dp2->setDate(QDate(2003, 3, 31));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int pdfPageCount(const QByteArray& pdf) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return static_cast<int>(QString::fromLatin1(pdf).count(page));
}

}  // namespace

class ReportOutputTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ReportSession> s;
    QTemporaryDir dir;
    QString answer;  // what the save dialog answers

  private slots:
    void initTestCase() {
        s = std::make_unique<ReportSession>();
        FileDialogService::setHandler([this](const SaveFileRequest& request) {
            if (!request.filters.join(' ').contains("*.xlsx")) return QString();
            return answer;
        });
    }
    void cleanupTestCase() {
        FileDialogService::setHandler({});
        s.reset();
    }
    void init() { s->shell.messages.clear(); }
    void cleanup() { s->closeResultWindows(); }

    void listPrintoutHoldsCriteriaTitlesEveryRowAndTheTotals() {
        s->runListQuery([](TFrmxsdquery& f) {
            wholeRange(f);
            f.Edit8->setText("1");
        });
        ClientDataSet& rows = dm->ClientDataSetxsdview;
        QVERIFY(rows.RecordCount() > 20);
        ReportTable table = Frmxsdresult->reportTable();
        PrintSheet sheet = printSheetOf(table);

        QPrinter printer(QPrinter::HighResolution);
        QString path = dir.filePath("list.pdf");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageSize(QPageSize(QPageSize::A4));
        QVERIFY(PrintLayout::needsLandscape(sheet, printer));  // fifteen columns
        printer.setPageOrientation(QPageLayout::Landscape);
        // Few rows per page, so that the titles must repeat.
        printer.setPageMargins(QMarginsF(12, 60, 12, 60), QPageLayout::Millimeter);
        PrintLayout layout(sheet, printer);
        QVERIFY(layout.pageCount() > 1);

        QStringList first = layout.pageTexts(0);
        QVERIFY(first.contains("销售单列表"));
        QVERIFY(first.contains("业务日期：2002-10-01 至 2003-03-31；数量：≥ 1"));
        int printed = 0;
        int invoice = rows.FieldByName("xsdid").Index();
        for (int page = 0; page < layout.pageCount(); ++page) {
            QStringList texts = layout.pageTexts(page);
            for (const char* title : {"发票号", "业务日期", "客户名称", "存货名称", "数量", "单价", "金额"})
                QVERIFY2(texts.contains(QString::fromUtf8(title)), title);
            for (int row = layout.firstRowOf(page); row < layout.firstRowOf(page) + layout.rowsOn(page);
                 ++row)
                QVERIFY(texts.contains(QString::fromStdString(rows.textAt(row, invoice))));
            printed += layout.rowsOn(page);
        }
        QCOMPARE(printed, rows.RecordCount());
        QStringList last = layout.pageTexts(layout.pageCount() - 1);
        QVERIFY(last.contains("合计"));
        QVERIFY(last.contains(Frmxsdresult->Label1->text()));
        QVERIFY(last.contains(Frmxsdresult->Label2->text()));

        QVERIFY(printSheet(sheet, printer));
        QCOMPARE(pdfPageCount(readAll(path)), layout.pageCount());
    }

    void exportWritesTheRowsShownWithTheTotalsAsCsv() {
        s->runListQuery(wholeRange);
        int rows = dm->ClientDataSetxsdview.RecordCount();
        answer = dir.filePath("list.csv");
        QTest::mouseClick(Frmxsdresult->n_export, Qt::LeftButton);
        QCOMPARE(s->shell.messages.texts(),
                 QStringList({QStringLiteral("已导出 %1 行到“%2”。").arg(rows).arg(answer)}));
        QByteArray csv = readAll(answer);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        QList<QByteArray> lines = csv.mid(3).split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QCOMPARE(lines.size(), rows + 2);
        QCOMPARE(
            QString::fromUtf8(lines.first()),
            QString("发票号,业务日期,客户编号,客户名称,业务员编号,业务员名称,制单人,审核人,存货编号,存货名称,"
                    "规格型号,计量单位,数量,单价,金额\r"));
        QList<QByteArray> totals = lines.last().trimmed().split(',');
        QCOMPARE(totals.size(), 15);
        QCOMPARE(QString::fromUtf8(totals[0]), QString("合计"));
        QCOMPARE(totals[12].toDouble(), std::stod(s->scalar("select sum(quantity1) from xsdview where "
                                                            "rq>='2002-10-01' and rq<='2003-03-31'")));
        // No thousands separators: every amount reads back as a number.
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            bool ok = false;
            lines[i].trimmed().split(',').last().toDouble(&ok);
            QVERIFY2(ok, lines[i].constData());
        }
    }

    void exportWritesAWorkbookOfTheSummary() {
        s->runSummaryQuery([](TFrmkhhzquery& f) {
            f.dp1->setDate(QDate(2002, 10, 1));
            f.dp2->setDate(QDate(2003, 3, 31));
        });
        answer = dir.filePath("summary.xlsx");
        QTest::mouseClick(Frmkhhzresult->n_export, Qt::LeftButton);
        QByteArray xlsx = readAll(answer);
        QVERIFY(xlsx.startsWith("PK"));
        QProcess unzip;
        unzip.start("unzip", {"-p", answer, "xl/worksheets/sheet1.xml"});
        if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) QSKIP("unzip is not available");
        QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
        for (const char* text : {"客户名称", "存货名称", "数量", "金额", "合计"})
            QVERIFY2(sheet.contains(QString::fromUtf8(text)), text);
        QVERIFY(sheet.contains(QStringLiteral("<v>%1</v>").arg(Frmkhhzresult->Label1->text())));
    }

    void cancelledOrFailedExportWritesNothing() {
        s->runListQuery(wholeRange);
        answer.clear();
        QTest::mouseClick(Frmxsdresult->n_export, Qt::LeftButton);
        QVERIFY(s->shell.messages.texts().isEmpty());

        answer = dir.filePath("no/such/folder/list.csv");
        QTest::mouseClick(Frmxsdresult->n_export, Qt::LeftButton);
        QCOMPARE(s->shell.messages.texts().size(), 1);
        QVERIFY(s->shell.messages.texts()[0].contains("无法写入文件"));
        QVERIFY(!QFile::exists(answer));
    }
};

VELMORA_GUI_TEST_MAIN(ReportOutputTest)
#include "ReportOutputTest.moc"
