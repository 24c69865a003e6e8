// The client on a desktop as its users have it: an X display with no window manager (a kiosk, a
// remote session) and the accessibility bus, the windows read from outside the process as a
// screen reader reads them. Run through tests/support/desktop-session.sh.
#include <QLabel>
#include <QProcess>
#include <QScreen>

#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmkhhzresult.h"
#include "tests/reports/ReportSession.h"

using namespace velmora;

namespace {

// The accessible names starting with one of prefixes, as another process reads them over AT-SPI.
QStringList namesOnTheBus(const QStringList& prefixes) {
    QProcess reader;
    reader.setProcessChannelMode(QProcess::SeparateChannels);
    reader.start(
        QStringLiteral(VELMORA_ACCESSIBLE_NAMES_READER),
        QStringList{QString::number(QCoreApplication::applicationPid()), QStringLiteral("60")} + prefixes);
    // The reader's calls are answered by this process's event loop: keep it running meanwhile.
    [&reader] { QTRY_VERIFY_WITH_TIMEOUT(reader.state() == QProcess::NotRunning, 120000); }();
    const QString errors = QString::fromUtf8(reader.readAllStandardError());
    if (reader.exitCode() == 3) qWarning("%s", qPrintable(errors));
    [&] {
        QVERIFY2(reader.exitStatus() == QProcess::NormalExit && reader.exitCode() != 3, qPrintable(errors));
    }();
    return QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class DesktopSessionTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsSet("VELMORA_NO_DESKTOP"))
            QSKIP(qPrintable(QStringLiteral("no desktop session: ") +
                             qEnvironmentVariable("VELMORA_NO_DESKTOP")));
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display and a D-Bus session: run it through tests/support/desktop-session.sh");
    }

    void totalsAreReadWithTheirValuesOverTheAccessibilityBus() {
        test::ReportSession s;
        s.runSummaryQuery([](TFrmkhhzquery& f) { test::wholeRange(f); });
        QTRY_VERIFY(Frmkhhzresult && Frmkhhzresult->isVisible());
        const QString quantity = Frmkhhzresult->Label1->text();
        const QString money = Frmkhhzresult->Label2->text();
        QVERIFY(!quantity.isEmpty() && !money.isEmpty());

        const QStringList names = namesOnTheBus({QStringLiteral("数量合计"), QStringLiteral("金额合计")});
        QVERIFY2(names.contains(QStringLiteral("数量合计 ") + quantity), qPrintable(names.join(" | ")));
        QVERIFY2(names.contains(QStringLiteral("金额合计 ") + money), qPrintable(names.join(" | ")));
    }

    void theMainWindowFillsTheScreenWithoutAWindowManager() {
        test::ShellSession s;
        delete Frmlogin;
        Frmlogin = nullptr;
        MainForm->showAtStart();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        const QRect free = MainForm->screen()->availableGeometry();
        QTRY_VERIFY2(MainForm->frameGeometry().contains(free), qPrintable(QStringLiteral("%1x%2 of %3x%4")
                                                                              .arg(MainForm->width())
                                                                              .arg(MainForm->height())
                                                                              .arg(free.width())
                                                                              .arg(free.height())));
    }
};

VELMORA_GUI_TEST_MAIN(DesktopSessionTest)
#include "DesktopSessionTest.moc"
