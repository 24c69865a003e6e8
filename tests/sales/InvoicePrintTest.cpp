// The invoice printout against the real velmora-server: the current order as a sales invoice
// (header, every line, totals equal to the database's sums, who made and audited it), rendered
// to PDF; an order still being entered is not printed.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

#include "data/Tdm.h"
#include "sales/InvoiceSheet.h"
#include "sales/TFrmkp.h"
#include "tests/sales/SalesSession.h"
#include "widgets/PrintLayout.h"
#include "widgets/PrintSheet.h"

using namespace velmora;
using velmora::test::SalesSession;

class InvoicePrintTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;
    QTemporaryDir dir;

    QStringList texts() const { return s->shell->messages.texts(); }

  private slots:
    void init() { s = std::make_unique<SalesSession>(); }
    void cleanup() { s.reset(); }

    void theCurrentOrderPrintsAsAnInvoiceWithItsTotals() {
        std::string number =
            s->scalar("select xsdid from xsdzb group by xsdid order by count(*) desc, xsdid limit 1");
        s->executeElsewhere("update xsdtb set shrname='审核员' where xsdid='" + number + "'");
        s->openInvoicing();
        QVERIFY(SalesSession::gotoOrder(number));
        PrintSheet sheet = invoiceSheet(*dm);

        QPrinter printer(QPrinter::HighResolution);
        QString path = dir.filePath("invoice.pdf");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageSize(QPageSize(QPageSize::A4));
        QVERIFY(!PrintLayout::needsLandscape(sheet, printer));
        PrintLayout layout(sheet, printer);
        QCOMPARE(layout.pageCount(), 1);
        QStringList page = layout.pageTexts(0);

        auto field = [&](const char* column) {
            return QString::fromStdString(
                s->scalar(std::string("select ") + column + " from xsdtb where xsdid='" + number + "'"));
        };
        QCOMPARE(page.first(), QString("销售发票"));
        QVERIFY(page.contains(
            QStringLiteral("销售发票号：%1        开票日期：%2").arg(field("xsdid"), field("rq"))));
        QVERIFY(page.contains(
            QStringLiteral("客户编号：%1        客户名称：%2").arg(field("khid"), field("khname"))));
        QVERIFY(page.contains(
            QStringLiteral("业务员编号：%1        业务员名称：%2").arg(field("ywyid"), field("ywyname"))));
        QVERIFY(page.contains(QStringLiteral("制单人：%1        审核人：审核员").arg(field("username"))));
        for (const char* title : {"存货编号", "存货名称", "规格型号", "计量单位", "数量", "单价", "金额"})
            QVERIFY2(page.contains(QString::fromUtf8(title)), title);
        QCOMPARE(sheet.rowCount,
                 std::stoi(s->scalar("select count(*) from xsdzb where xsdid='" + number + "'")));
        QVERIFY(sheet.rowCount >= 2);
        for (const std::string& item : s->query("select chid from xsdzb where xsdid='" + number + "'"))
            QVERIFY(page.contains(QString::fromStdString(item)));

        double quantity =
            std::stod(s->scalar("select sum(quantity1) from xsdzb where xsdid='" + number + "'"));
        double money = std::stod(s->scalar("select sum(money1) from xsdzb where xsdid='" + number + "'"));
        QCOMPARE(sheet.totals.value(0), QString("合计"));
        QCOMPARE(sheet.totals.value(4).toDouble(), quantity);
        QCOMPARE(sheet.totals.value(6), QString::number(money, 'f', 2));
        QVERIFY(page.contains(sheet.totals.value(6)));
        QVERIFY(page.contains("第 1 页 / 共 1 页"));

        QVERIFY(printSheet(sheet, printer));
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(QString::fromLatin1(bytes).count(QRegularExpression("/Type\\s*/Page[^s]")), 1);
    }

    void anUnapprovedInvoiceIsStampedInRedAndAnApprovedOneIsNot() {
        const std::string unapproved = s->scalar("select min(xsdid) from xsdtb where not ischeck");
        s->openInvoicing();
        for (const std::string& number : {unapproved, std::string("XS000004")}) {
            const bool approved = number == "XS000004";
            QVERIFY(SalesSession::gotoOrder(number));
            PrintSheet sheet = invoiceSheet(*dm);
            QPdfWriter device(dir.filePath("stamp.pdf"));
            device.setResolution(96);
            device.setPageSize(QPageSize(QPageSize::A4));
            PrintLayout layout(sheet, device);
            QStringList page = layout.pageTexts(0);
            QCOMPARE(page.first(), QString("销售发票"));
            QCOMPARE(page.contains("未审核"), !approved);

            // Drawn: red ink on the page exactly when stamped.
            QImage image(device.width(), device.height(), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            layout.paintPage(painter, 0);
            painter.end();
            int red = 0;
            for (int y = 0; y < image.height() / 4; ++y)
                for (int x = image.width() / 2; x < image.width(); ++x) {
                    QColor c = image.pixelColor(x, y);
                    if (c.red() > 150 && c.green() < 90 && c.blue() < 90) ++red;
                }
            QVERIFY2((red > 50) == !approved, qPrintable(QString::number(red)));
        }
    }

    void anOrderBeingEnteredIsNotPrintedUntilSaved() {
        TFrmkp& f = s->openInvoicing();
        SalesSession::click(f.n_insert);
        QVERIFY(!f.n_print->isEnabled());
        f.n_printClick();  // as a stale click would reach it
        QCOMPARE(texts(), QStringList({"单据尚未保存，请先保存再打印。"}));
        SalesSession::click(f.n_cancel);
        QVERIFY(f.n_print->isEnabled());
    }

    void withoutOrdersThereIsNothingToPrint() {
        s->executeElsewhere("delete from xsdzb");
        s->executeElsewhere("delete from xsdtb");
        TFrmkp& f = s->openInvoicing();
        SalesSession::click(f.n_print);
        QCOMPARE(texts(), QStringList({"没有记录可打印"}));
    }
};

VELMORA_GUI_TEST_MAIN(InvoicePrintTest)
#include "InvoicePrintTest.moc"
