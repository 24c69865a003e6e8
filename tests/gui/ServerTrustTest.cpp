// The client's trust in servers, through the real login dialog against the real velmora-server:
// the question on a first encrypted connection and what its answers leave behind, the warning on
// a changed certificate and on a server that stopped encrypting, the office's CA file, the
// 未加密 and 已加密 marks, the reconnect to a server whose certificate changed, and the command
// that forgets a server.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include "app/ServerTrust.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "tests/gui/ShellSession.h"
#include "tests/support/ServerProcess.h"
#include "widgets/ConnectionLoss.h"

using namespace velmora;
using velmora::test::ServerProcess;
using velmora::test::ShellSession;

namespace {

// A certificate for 127.0.0.1 made by the server program; made again, it is another one.
struct Certificate {
    QTemporaryDir dir;
    QString cert() const { return dir.filePath("cert.pem"); }
    QString key() const { return dir.filePath("key.pem"); }
    QString fingerprint;

    Certificate() { make(); }
    void make() {
        QFile::remove(cert());
        QFile::remove(key());
        QProcess p;
        p.start(VELMORA_SERVER_PATH,
                {"cert", "create", "--name", "127.0.0.1", "--cert", cert(), "--key", key()});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), 0);
        const QString label = QStringLiteral("SHA-256 fingerprint: ");
        const qsizetype at = out.indexOf(label);
        QVERIFY2(at >= 0, qPrintable(out));
        fingerprint = out.mid(at + label.size()).section('\n', 0, 0).trimmed();
    }
    std::vector<std::string> serverArgs(const char* mode) const {
        return {"--tls", mode, "--tls-cert", cert().toStdString(), "--tls-key", key().toStdString()};
    }
};

std::unique_ptr<ServerProcess> serverWith(std::vector<std::string> args) {
    ServerProcess::Options options;
    options.extraArgs = std::move(args);
    return std::make_unique<ServerProcess>(options);
}

}  // namespace

class ServerTrustTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ServerProcess> server;

    QString address() const { return QString::fromStdString(server->address()); }
    static ServerTrust trust() { return ServerTrust(); }
    const MessageRequest& box(ShellSession& s, size_t i) const { return s.messages.boxes().at(i); }

    // The login as far as the connect button; the test looks at what followed.
    void connectOnly(ShellSession& s) {
        const QString at = address();
        s.showAndLogin([at](TFrmlogin& f) {
            f.Edit2->setText(at);
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            if (f.isVisible()) f.BitBtn2->click();  // connected: cancel ends the program as well
        });
    }
    // The whole login; returns the mark the login dialog showed once connected.
    QString login(ShellSession& s) {
        QString mark;
        const QString at = address();
        s.showAndLogin([&](TFrmlogin& f) {
            f.Edit2->setText(at);
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            mark = f.Label11->isVisible() ? f.Label11->text() : QString();
            f.ComboBox1->setEditText("管理员");
            f.Edit1->setText("vantu");
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        });
        return mark;
    }

  private slots:
    void init() { QFile::remove(ServerTrust::defaultSettingsFile()); }
    void cleanup() { server.reset(); }

    void theFirstEncryptedConnectionAsksOnceAndTheAnswerIsRemembered() {
        Certificate c;
        server = serverWith(c.serverArgs("require"));
        {
            ShellSession s;
            const QString at = address();
            const QString seenMark = login(s);
            QCOMPARE(s.ending.count(), 0);
            QCOMPARE(box(s, 0).text,
                     "首次连接到服务器 " + at + "，证书指纹 " + c.fingerprint + "，是否信任？");
            QCOMPARE(box(s, 0).buttons, MessageButtons::YesNo);
            QVERIFY(box(s, 0).details.contains("velmora-server cert show"));
            QCOMPARE(box(s, 1).text, QString("请选择用户名"));
            QCOMPARE(seenMark, QString("已加密"));
            QVERIFY(MainForm->SocketConnection1.encrypted());
            QCOMPARE(MainForm->EncryptionLabel->text(), QString("已加密"));
            QVERIFY(MainForm->EncryptionLabel->toolTip().contains(c.fingerprint));
            QCOMPARE(trust().remembered(at), c.fingerprint);
        }
        // The next start does not ask again.
        ShellSession again;
        login(again);
        QCOMPARE(again.ending.count(), 0);
        QCOMPARE(box(again, 0).text, QString("请选择用户名"));
        QVERIFY(MainForm->SocketConnection1.encrypted());
    }

    void aDeclinedCertificateEndsTheProgramAndLeavesNothingBehind() {
        Certificate c;
        server = serverWith(c.serverArgs("allow"));
        ShellSession s;
        s.messages.answerNext(MessageButton::No);
        connectOnly(s);
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(s.messages.boxes().size(), size_t(1));  // no second message after the user's no
        QVERIFY(!MainForm->SocketConnection1.connected());
        QCOMPARE(trust().remembered(address()), QString());
    }

    void aChangedCertificateIsRefusedWithAWarningThatSaysWhatToDo() {
        Certificate c;
        server = serverWith(c.serverArgs("require"));
        const QString before = "AA:BB:CC";
        trust().remember(address(), before);
        ShellSession s;
        connectOnly(s);
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(s.messages.boxes().size(), size_t(1));
        QVERIFY2(box(s, 0).text.startsWith("警告：服务器 " + address() + " 的证书已改变，连接已取消！"),
                 qPrintable(box(s, 0).text));
        QCOMPARE(box(s, 0).icon, MessageIcon::Error);
        QVERIFY(box(s, 0).details.contains(before) && box(s, 0).details.contains(c.fingerprint));
        QVERIFY(box(s, 0).details.contains("velmora --forget-server " + address()));
        QVERIFY(!MainForm->SocketConnection1.connected());
        QCOMPARE(trust().remembered(address()), before);  // never replaced silently
    }

    void aServerOnceEncryptedIsNeverReachedInPlainAgain() {
        server = std::make_unique<ServerProcess>();  // no certificate: plain only
        trust().remember(address(), "AA:BB:CC");
        ShellSession s;
        connectOnly(s);
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(s.messages.boxes().size(), size_t(1));
        QVERIFY2(box(s, 0).text.contains("以前使用加密连接，现在却不提供加密"), qPrintable(box(s, 0).text));
        QVERIFY(!MainForm->SocketConnection1.connected());
    }

    void aPlainServerIsReachedWithTheUnencryptedMarkShown() {
        server = std::make_unique<ServerProcess>();
        ShellSession s;
        const QString at = address();
        const QString mark = login(s);
        QCOMPARE(s.ending.count(), 0);
        QCOMPARE(box(s, 0).text, QString("请选择用户名"));
        QCOMPARE(mark, QString("未加密"));
        QVERIFY(MainForm->EncryptionLabel->isVisibleTo(MainForm));
        QCOMPARE(MainForm->EncryptionLabel->text(), QString("未加密"));
        QCOMPARE(trust().remembered(at), QString());
    }

    void anOfficeCaFileVouchesWithoutAQuestion() {
        Certificate c;
        server = serverWith(c.serverArgs("require"));
        {
            QSettings settings(ServerTrust::defaultSettingsFile(), QSettings::IniFormat);
            settings.setValue("tls/ca_file", c.cert());  // the self-signed certificate is its own CA
        }
        ShellSession s;
        login(s);
        QCOMPARE(s.ending.count(), 0);
        QCOMPARE(box(s, 0).text, QString("请选择用户名"));
        QVERIFY(MainForm->SocketConnection1.encrypted());
        QCOMPARE(trust().remembered(address()), QString("ca"));
    }

    void aReconnectToAServerWithAnotherCertificateIsRefused() {
        Certificate c;
        server = serverWith(c.serverArgs("require"));
        ShellSession s;
        login(s);
        QCOMPARE(s.ending.count(), 0);
        s.messages.clear();

        // The server comes back on the same port with another certificate.
        server->stop();
        c.make();
        server->restart();
        s.messages.answerNext(MessageButton::Reconnect);
        s.messages.answerNext(MessageButton::Ok);      // the warning
        s.messages.answerNext(MessageButton::Cancel);  // no further try
        ConnectionLoss::report("Error reading from socket");
        QCOMPARE(s.messages.boxes().size(), size_t(3));
        QVERIFY2(box(s, 1).text.contains("的证书已改变"), qPrintable(box(s, 1).text));
        QCOMPARE(box(s, 2).text, "未连接服务器 " + address() + "：它的证书未获信任。");
        QVERIFY(!MainForm->SocketConnection1.connected());
        QVERIFY(server->log().find("resumed the session") == std::string::npos);
    }

    void forgettingAServerLetsTheNextConnectionAskAgain() {
        server = std::make_unique<ServerProcess>();
        trust().remember(address(), "AA:BB:CC");
        QProcess forget;
        forget.start(VELMORA_CLIENT_PATH, {"--forget-server", address()});
        QVERIFY(forget.waitForFinished(60000));
        QCOMPARE(forget.exitCode(), 0);
        QVERIFY(QString::fromUtf8(forget.readAllStandardOutput()).contains("已忘记服务器 " + address()));
        QCOMPARE(trust().remembered(address()), QString());

        forget.start(VELMORA_CLIENT_PATH, {"--forget-server", address()});
        QVERIFY(forget.waitForFinished(60000));
        QCOMPARE(forget.exitCode(), 1);
        forget.start(VELMORA_CLIENT_PATH, {"--forget-server", "127.0.0.1:x"});
        QVERIFY(forget.waitForFinished(60000));
        QCOMPARE(forget.exitCode(), 2);
    }
};

VELMORA_GUI_TEST_MAIN(ServerTrustTest)
#include "ServerTrustTest.moc"
