// The login, the close question and the password change against the real velmora-server.
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>

#include "app/LoginValues.h"
#include "app/NavLabel.h"
#include "app/TFrmchangepassword.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "masterdata/TFrmkh.h"
#include "tests/gui/ShellSession.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestLogin.h"
#include "transport/SocketConnection.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/MessageService.h"

using namespace velmora;
using velmora::test::ServerProcess;
using velmora::test::ShellSession;

class LoginTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ServerProcess> server;

    QString address() const { return QString::fromStdString(server->address()); }
    std::string count(const std::string& where) const {
        return server->scalar("select count(*) from server_logins where " + where);
    }
    // The stored hash of user's password: it changes with the password, never holds it.
    std::string passwordHash(const std::string& user) const {
        return server->scalar("select password1 from user1 where username='" + user + "'");
    }
    // Whether user logs in with password, on a connection of its own.
    bool logsIn(const std::string& user, const std::string& password) const {
        SocketConnection connection;
        connection.setServerGUID("{276F7104-2B30-4414-AD12-DE1160EAA8D1}");
        connection.setAddress("127.0.0.1");
        connection.setPort(server->port());
        bool ok = true;
        try {
            test::loginAs(connection, user, password);
        } catch (const std::exception&) {
            ok = false;
        }
        connection.close();
        return ok;
    }
    void login(ShellSession& s, const QString& user, const QString& pass) {
        QString at = address();
        s.showAndLogin([=](TFrmlogin& f) { ShellSession::connectAndChoose(f, at, user, pass); });
    }

  private slots:
    void init() {
        server = std::make_unique<ServerProcess>();
        LoginComputerName.clear();
        LoginAddress.clear();
        LoginUserName.clear();
        LoginServerTime.clear();
    }
    void cleanup() { server.reset(); }

    void goodLoginRecordsTheUserWithTheServer() {
        ShellSession s;
        QStringList listed;
        QString at = address();
        s.showAndLogin([&](TFrmlogin& f) {
            f.Edit2->setText(at);
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            QVERIFY(f.ComboBox1->isEnabled() && f.Edit1->isEnabled());
            for (int i = 0; i < f.ComboBox1->count(); ++i) listed << f.ComboBox1->itemText(i);
            QTest::mouseClick(f.Button1, Qt::LeftButton);  // again: the list is read anew
            QCOMPARE(f.ComboBox1->count(), listed.size());
            f.ComboBox1->setCurrentIndex(f.ComboBox1->findText("管理员"));
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        });
        listed.sort();
        QCOMPARE(listed, QStringList({"李出纳", "王会计", "管理员"}));
        QCOMPARE(s.messages.texts(), QStringList({"请选择用户名", "请选择用户名"}));
        QCOMPARE(s.ending.count(), 0);
        QCOMPARE(MainForm->Session.CurrentUserName, QString("管理员"));
        QVERIFY(!Frmlogin);
        QCOMPARE(LoginUserName, std::string("管理员"));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(QString::fromStdString(LoginServerTime))
                    .hasMatch());
        QCOMPARE(count("event='AddUser' and username='管理员' and logintime='" + LoginServerTime +
                       "' and computername='" + LoginComputerName + "' and address='" + LoginAddress + "'"),
                 std::string("1"));
    }

    void wrongPasswordEndsTheProgram() {
        ShellSession s;
        login(s, "管理员", "wrong");
        QCOMPARE(s.messages.texts(), QStringList({"请选择用户名", "口令不正确"}));
        QCOMPARE(s.ending.count(), 1);
        QVERIFY(MainForm->Session.CurrentUserName.isEmpty());
        QCOMPARE(count("1=1"), std::string("0"));
    }

    void emptyPasswordOrBlankNameEndsTheProgram() {
        {
            ShellSession s;
            login(s, "管理员", "");
            QCOMPARE(s.messages.texts(), QStringList({"请选择用户名", "未选择用户名或未输入密码"}));
            QCOMPARE(s.ending.count(), 1);
        }
        ShellSession s;
        login(s, "   ", "vantu");
        QCOMPARE(s.messages.texts(), QStringList({"请选择用户名"}));
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(count("1=1"), std::string("0"));
    }

    void typedNameIsAcceptedWhenTheUserExists() {
        ShellSession s;
        QString at = address();
        s.showAndLogin([at](TFrmlogin& f) {
            // Enter presses whichever button is the default when it comes, and OK is while it has
            // the focus the dialog gives it on opening. That focus arrives with the window's
            // activation, late on a loaded machine: wait for it, then put the focus where a user
            // types the password.
            QVERIFY(QTest::qWaitForWindowActive(&f));
            f.Edit2->setText(at);
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            f.ComboBox1->lineEdit()->clear();
            test::typeText(f.ComboBox1->lineEdit(), "王会计");
            f.Edit1->clear();
            f.Edit1->setFocus();
            QTRY_VERIFY(f.Edit1->hasFocus());
            QVERIFY(f.Button1->isDefault() && !f.BitBtn1->isDefault());
            QTest::keyClicks(f.Edit1, "1234");
            QTest::keyClick(f.Edit1, Qt::Key_Return);  // presses 确定 again, not OK
            QVERIFY(f.isVisible());
            QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
        });
        QCOMPARE(MainForm->Session.CurrentUserName, QString("王会计"));
        QCOMPARE(count("event='AddUser' and username='王会计'"), std::string("1"));
    }

    void namesKeepTheirBlanks() {
        server->addUser(" 李四", "pw");
        {
            ShellSession s;
            login(s, "李四", "pw");
            QCOMPARE(s.messages.texts().last(), QString("口令不正确"));
        }
        ShellSession s;
        login(s, " 李四", "pw");
        QCOMPARE(s.ending.count(), 0);
        QCOMPARE(MainForm->Session.CurrentUserName, QString(" 李四"));
        QCOMPARE(count("username=' 李四'"), std::string("1"));
    }

    void closeBoxLogsInAsOkDoes() {
        ShellSession s;
        QString at = address();
        s.showAndLogin([at](TFrmlogin& f) {
            f.Edit2->setText(at);
            QTest::mouseClick(f.Button1, Qt::LeftButton);
            f.ComboBox1->setEditText("李出纳");
            f.Edit1->setText("5678");
            f.close();
        });
        QCOMPARE(MainForm->Session.CurrentUserName, QString("李出纳"));
        QCOMPARE(count("event='AddUser' and username='李出纳'"), std::string("1"));
    }

    void quotesInNameOrPasswordDoNoHarm() {
        {
            ShellSession s;
            login(s, "x' or '1'='1", "x' or '1'='1");
            QCOMPARE(s.messages.texts(), QStringList({"请选择用户名", "口令不正确"}));
            QCOMPARE(s.ending.count(), 1);
        }
        server->addUser("O'Neil", "it's");
        ShellSession s;
        login(s, "O'Neil", "it's");
        QCOMPARE(s.ending.count(), 0);
        QCOMPARE(MainForm->Session.CurrentUserName, QString("O'Neil"));
        QCOMPARE(count("username='O''Neil'"), std::string("1"));
    }

    void closeQuestionNoKeepsEverything() {
        ShellSession s;
        login(s, "管理员", "vantu");
        s.messages.clear();
        s.messages.answerNext(MessageButton::No);
        QVERIFY(!MainForm->close());
        QCOMPARE(s.messages.boxes().size(), size_t(1));
        const MessageRequest& box = s.messages.boxes()[0];
        QCOMPARE(box.text, QString("请确认是否退出本系统"));
        QCOMPARE(box.caption, QString("提示信息"));
        QCOMPARE(box.buttons, MessageButtons::YesNo);
        QCOMPARE(box.icon, MessageIcon::Information);
        QVERIFY(MainForm->isVisible());
        QCOMPARE(s.ending.count(), 0);
        QVERIFY(MainForm->SocketConnection1.connected());
        QCOMPARE(count("event='DelUser'"), std::string("0"));
    }

    void closeQuestionYesSignsOffWithTheLoginValues() {
        ShellSession s;
        login(s, "管理员", "vantu");
        s.messages.answerNext(MessageButton::Yes);
        QVERIFY(MainForm->close());
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(count("event='DelUser' and username='管理员' and logintime='" + LoginServerTime + "'"),
                 std::string("1"));
    }

    void signOffFailureDoesNotHoldUpTheExit() {
        ShellSession s;
        login(s, "管理员", "vantu");
        server->stop();
        s.messages.clear();
        QVERIFY(MainForm->close());
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(s.messages.texts(), QStringList({"请确认是否退出本系统"}));
    }

    void lostServerWhileIdleReachesTheErrorDisplay() {
        ShellSession s;
        login(s, "管理员", "vantu");
        s.messages.clear();
        server->stop();
        // Nothing waits on the connection now: the transport's notice comes through the event loop.
        QTRY_VERIFY(!s.messages.boxes().empty());
        QCOMPARE(s.messages.boxes()[0].icon, MessageIcon::Error);
        // Captioned as every other box of the program.
        QCOMPARE(s.messages.boxes()[0].caption, MessageService::productCaption());
        QCOMPARE(s.ending.count(), 0);
    }

    void menuAndLabelsOpenOneWindowPerClass() {
        ShellSession s;
        login(s, "管理员", "vantu");
        MainForm->N4->trigger();
        TFrmkh* first = Frmkh;
        QVERIFY(first);
        QCOMPARE(first->Caption(), QString("客户档案"));
        MainForm->N3->trigger();
        QCOMPARE(MainForm->ClientArea->subWindowList().size(), 2);
        first->subWindow()->showMinimized();
        emit MainForm->NavLabels[2]->clicked();  // Label4 performs N4
        QCOMPARE(Frmkh, first);
        QCOMPARE(MainForm->ClientArea->subWindowList().size(), 2);
        QVERIFY(!first->isMinimizedWindow());
        QCOMPARE(MainForm->ClientArea->activeSubWindow(), first->subWindow());

        first->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Frmkh);
        MainForm->N4->trigger();
        QVERIFY(Frmkh);
        QCOMPARE(MainForm->ClientArea->subWindowList().size(), 2);
    }

    void exitSignsNothingOffEvenWithChildWindowsOpen() {
        ShellSession s;
        login(s, "管理员", "vantu");
        MainForm->N5->trigger();
        QVERIFY(!MainForm->ClientArea->subWindowList().isEmpty());
        s.messages.clear();
        MainForm->FileOpenItem->trigger();
        QCOMPARE(s.ending.count(), 1);
        QVERIFY(s.messages.boxes().empty());
        QCOMPARE(count("event='DelUser'"), std::string("0"));
    }

    void passwordChangeTouchesOnlyTheUsersRow() {
        ShellSession s;
        login(s, "王会计", "1234");
        test::whenModal([](QWidget*) {
            Frmchangepassword->Edit1->setText("new'pw");
            Frmchangepassword->Edit2->setText("new'pw");
            QTest::mouseClick(Frmchangepassword->BitBtn1, Qt::LeftButton);
        });
        std::string admin = passwordHash("管理员"), cashier = passwordHash("李出纳");
        MainForm->N15->trigger();
        QVERIFY(!Frmchangepassword->isVisible());
        QVERIFY(logsIn("王会计", "new'pw"));
        QVERIFY(!logsIn("王会计", "1234"));
        QCOMPARE(passwordHash("管理员"), admin);
        QCOMPARE(passwordHash("李出纳"), cashier);
        std::string changed = passwordHash("王会计");

        test::whenModal([](QWidget*) {
            Frmchangepassword->Edit1->setText("other");
            Frmchangepassword->Edit2->setText("Other");
            QTest::mouseClick(Frmchangepassword->BitBtn1, Qt::LeftButton);
        });
        MainForm->N15->trigger();
        QCOMPARE(s.messages.texts().last(), QString("两次口令输入不一致"));
        QCOMPARE(passwordHash("王会计"), changed);
    }
};

VELMORA_GUI_TEST_MAIN(LoginTest)
#include "LoginTest.moc"
