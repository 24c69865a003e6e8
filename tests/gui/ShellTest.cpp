// The application shell without a server: start-up, the main window's menu, tool bar and
// navigation panel, the ways the program ends before a connection exists, and the dialogs.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/NavLabel.h"
#include "app/NavPanel.h"
#include "app/TAboutBox.h"
#include "app/TFrmchangepassword.h"
#include "app/TFrmflash.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmywyhzquery.h"
#include "sales/TFrmywyquery.h"
#include "tests/gui/ShellSession.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/HelpWindow.h"
#include "widgets/MdiChildForm.h"
#include "widgets/PictureBox.h"

using namespace velmora;
using velmora::test::ShellSession;

class ShellTest : public QObject {
    Q_OBJECT

    static NavLabel* navLabel(int number) { return MainForm->NavLabels[static_cast<size_t>(number - 2)]; }

    static bool highlighted(NavLabel* label) {
        return label->font().underline() &&
               label->palette().color(QPalette::WindowText) == QColor(0, 0, 255) &&
               label->cursor().shape() == Qt::PointingHandCursor;
    }

  private slots:
    void startupCreatesTheObjectsInOrderWithoutConnecting() {
        test::TerminationRecorder ending;
        TAboutBox::BusyDelayPasses = 10;
        ProgramEntry entry;
        QStringList order;
        bool splashUp = true;
        entry.beforeCreate = [&](const char* name) {
            order << name;
            splashUp = splashUp && Frmflash && Frmflash->isVisible();
        };
        entry.createAll();
        QCOMPARE(order, QStringList({"TMainForm", "TAboutBox", "Tdm", "TFrmywyquery", "TFrmxsdquery",
                                     "TFrmkhhzquery", "TFrmchhzquery", "TFrmywyhzquery", "TFrmauditquery",
                                     "TFrmlogin", "TFrmchangepassword"}));
        QVERIFY(splashUp);
        QVERIFY(!Frmflash);
        QVERIFY(MainForm && AboutBox && dm && Frmywyquery && Frmxsdquery && Frmkhhzquery && Frmlogin &&
                Frmchangepassword);
        QVERIFY(!MainForm->SocketConnection1.connected());
        QVERIFY(!MainForm->isVisible() && !Frmywyquery->isVisible() && !Frmlogin->isVisible());
        QCOMPARE(dm->dataSets().size(), size_t(12));
        for (ClientDataSet* ds : dm->dataSets()) QVERIFY(!ds->Active());
        entry.destroyAll();
        QVERIFY(!MainForm && !dm && !Frmlogin);
    }

    void splashGoesEvenWhenACreationFails() {
        TAboutBox::BusyDelayPasses = 10;
        ProgramEntry entry;
        entry.beforeCreate = [](const char* name) {
            if (QByteArray(name) == "TFrmkhhzquery") throw std::runtime_error("no memory");
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, entry.createAll());
        QVERIFY(!Frmflash);
        QVERIFY(MainForm && Frmxsdquery && !Frmkhhzquery && !Frmlogin);
    }

    void menusCarryTheirCaptionsAndPictures() {
        ShellSession s;
        QStringList titles;
        for (QAction* a : MainForm->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, QStringList({"[文件]", "[基础信息设置]", "[销售]", "[系统管理]", "[帮助]"}));
        const QList<QPair<QAction*, QString>> items = {{MainForm->FileNewItem, "打印设置"},
                                                       {MainForm->N15, "更改口令"},
                                                       {MainForm->FileOpenItem, "退出"},
                                                       {MainForm->N6, "存货分类档案"},
                                                       {MainForm->N3, "存货档案"},
                                                       {MainForm->N4, "客户档案"},
                                                       {MainForm->N5, "业务员档案"},
                                                       {MainForm->N8, "销售开票 "},
                                                       {MainForm->N10, "销售单列表"},
                                                       {MainForm->N11, "客户销量汇总表"},
                                                       {MainForm->N13, "存货销量汇总表"},
                                                       {MainForm->N12, "业务员销量汇总表"},
                                                       {MainForm->N17, "用户管理"},
                                                       {MainForm->N18, "操作日志"},
                                                       {MainForm->N14, "帮助"},
                                                       {MainForm->HelpAboutItem, "关于"}};
        for (const auto& [action, caption] : items) {
            QCOMPARE(action->text(), caption);
            QVERIFY2(!action->icon().isNull(), qPrintable(caption));
            QVERIFY(action->shortcut().isEmpty());
        }
        QCOMPARE(MainForm->ImageList1.size(), size_t(18));
        for (const QIcon& icon : MainForm->ImageList1)
            QCOMPARE(icon.availableSizes().value(0), QSize(16, 16));
        QCOMPARE(MainForm->File1->menuAction()->statusTip(), QString("File related commands"));
        QCOMPARE(MainForm->Help1->menuAction()->statusTip(), QString("Help topics"));
        QVERIFY(MainForm->HelpAboutItem->statusTip().contains("version number"));
    }

    void toolBarHintsAndEnabledRules() {
        ShellSession s;
        s.showWithoutLogin();
        QCOMPARE(MainForm->EditCut1->toolTip(), QString("Cut"));
        QCOMPARE(MainForm->EditCut1->statusTip(), QString("Cuts the selection and puts it on the Clipboard"));
        QCOMPARE(MainForm->FileNew1->shortcut(), QKeySequence("Ctrl+N"));
        auto* cut = MainForm->ToolBar2->findChild<QToolButton*>("ToolButton4");
        QVERIFY(cut);
        QCOMPARE(cut->defaultAction(), MainForm->EditCut1);
        MainForm->updateActions();
        for (QAction* a : {MainForm->FileNew1, MainForm->FileOpen1, MainForm->FileSave1, MainForm->EditCut1,
                           MainForm->EditCopy1, MainForm->WindowCascade1, MainForm->WindowTileVertical1})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));

        QLineEdit edit("text to copy");
        edit.show();
        edit.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&edit));
        edit.setFocus();
        edit.selectAll();
        // The actions follow their targets whenever the program goes idle; the test steps in for it.
        MainForm->updateActions();
        QVERIFY(MainForm->EditCopy1->isEnabled());
        QVERIFY(MainForm->EditCut1->isEnabled());
        MainForm->EditCopy1->trigger();
        edit.deselect();
        MainForm->updateActions();
        QVERIFY(!MainForm->EditCopy1->isEnabled());
        QVERIFY(MainForm->EditPaste1->isEnabled());
        edit.setReadOnly(true);
        MainForm->updateActions();
        QVERIFY(!MainForm->EditPaste1->isEnabled());

        auto* child = new MdiChildForm(MainForm);
        child->Show();
        MainForm->updateActions();
        QVERIFY(MainForm->WindowCascade1->isEnabled());
        QVERIFY(MainForm->WindowTileHorizontal1->isEnabled());
    }

    void navigationLabelsHighlightUntilTheBackgroundIsCrossed() {
        ShellSession s;
        s.showWithoutLogin();
        NavPanel* panel = MainForm->Panel3;
        auto moveOver = [panel](QWidget* w) {
            QTest::mouseMove(panel->window(), w->mapTo(panel->window(), w->rect().center()));
        };
        moveOver(navLabel(3));
        QVERIFY(highlighted(navLabel(3)));
        moveOver(navLabel(4));
        QVERIFY(highlighted(navLabel(3)) && highlighted(navLabel(4)));
        moveOver(MainForm->Images[2]);  // an icon is not the background
        QVERIFY(highlighted(navLabel(3)));
        QTest::mouseMove(panel->window(), panel->mapTo(panel->window(), QPoint(140, 5)));
        for (int n = 2; n <= 8; ++n) {
            QVERIFY(!navLabel(n)->font().underline());
            QCOMPARE(navLabel(n)->palette().color(QPalette::WindowText), clWindowText());
        }
    }

    void welcomeLabelScrollsAndWraps() {
        ShellSession s;
        s.showWithoutLogin();
        QLabel* label = MainForm->Label1;
        int before = label->y();
        QTRY_VERIFY(label->y() != before);  // Timer1 runs on its own
        MainForm->Timer1->stop();
        label->move(label->x(), 2);
        MainForm->Timer1Timer();
        QCOMPARE(label->y(), 1);
        MainForm->Timer1Timer();
        QCOMPARE(label->y(), MainForm->Panel4->height() - 12);
    }

    void summaryItemsOpenTheirQueriesAndHelpOpensTheManual() {
        ShellSession s;
        const std::pair<QAction*, QWidget*> items[] = {{MainForm->N13, Frmchhzquery},
                                                       {MainForm->N12, Frmywyhzquery}};
        for (auto [action, dialog] : items) {
            QWidget* shown = nullptr;
            test::whenModal([&shown](QWidget* d) {
                shown = d;
                d->close();
            });
            action->trigger();
            QCOMPARE(shown, dialog);
        }
        MainForm->N14->trigger();
        QVERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
        QCOMPARE(HelpWindow::instance()->currentSection(), QString());
        QVERIFY(s.messages.texts().isEmpty());
    }

    void f1OpensTheManualAtTheSectionOfItsWindow() {
        ShellSession s;
        s.showWithoutLogin();
        QTest::keyClick(MainForm, Qt::Key_F1);
        QTRY_VERIFY(HelpWindow::instance() && HelpWindow::instance()->isVisible());
        QCOMPARE(HelpWindow::instance()->currentSection(), QString("MainForm"));
        QCOMPARE(HelpWindow::instance()->browser()->source().fragment(), QString("MainForm"));
        // In a modal dialog the key opens the dialog's section, over the dialog.
        QString section;
        QWidget* owner = nullptr;
        test::whenModal([&](QWidget*) {
            QTest::keyClick(Frmkhhzquery->Edit1, Qt::Key_F1);
            section = HelpWindow::instance()->currentSection();
            owner = HelpWindow::instance()->parentWidget();
            Frmkhhzquery->BitBtn2->click();
        });
        Frmkhhzquery->ShowModal();
        QCOMPARE(section, QString("Frmkhhzquery"));
        QCOMPARE(owner, static_cast<QWidget*>(Frmkhhzquery));
    }

    void everyWindowHasASectionAndEveryPictureOfTheManualExists() {
        for (const char* window : {"MainForm",       "AboutBox",      "Frmlogin",      "Frmchangepassword",
                                   "Frmchfl",        "Frmch",         "Frmkh",         "Frmywy",
                                   "Frmkp",          "Frmkhquery",    "Frmywyquery",   "frmClbm_Fzlr",
                                   "Frmxsdquery",    "Frmxsdresult",  "Frmkhhzquery",  "Frmkhhzresult",
                                   "Frmchhzquery",   "Frmchhzresult", "Frmywyhzquery", "Frmywyhzresult",
                                   "Frmusers",       "Frmuseredit",   "Frmhistory",    "Frmauditquery",
                                   "Frmauditresult", "Frmbackup",     "Frmjyfx",       "encryption",
                                   "print",          "export"})
            QVERIFY2(HelpWindow::sections().contains(QString::fromLatin1(window)), window);
        QFile manual(QStringLiteral(":/manual/index.html"));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        QString html = QString::fromUtf8(manual.readAll());
        static const QRegularExpression image(QStringLiteral("<img src=\"\\.\\./([^\"]+)\""));
        int pictures = 0;
        for (auto it = image.globalMatch(html); it.hasNext(); ++pictures) {
            QString path = QStringLiteral(":/") + it.next().captured(1);
            QVERIFY2(QFile::exists(path), qPrintable(path));
        }
        QVERIFY(pictures >= 15);
    }

    void aboutBoxShowsTheSameContentEachTime() {
        ShellSession s;
        QStringList seen;
        for (int i = 0; i < 2; ++i) {
            test::whenModal([&seen](QWidget* dialog) {
                QCOMPARE(dialog, static_cast<QWidget*>(AboutBox));
                QStringList texts;
                for (QLabel* l : AboutBox->findChildren<QLabel*>())
                    texts << l->objectName() + "=" + l->text();
                texts.sort();
                seen << texts.join("|");
                QCOMPARE(AboutBox->focusWidget(), static_cast<QWidget*>(AboutBox->OKButton));
                QTest::keyClick(AboutBox->OKButton, Qt::Key_Return);
            });
            MainForm->HelpAboutItem->trigger();
        }
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0], seen[1]);
        QVERIFY(seen[0].contains("Label1=Velmora管理") && seen[0].contains("Label2=1.001"));
    }

    void loginCancelAndEscEndTheProgram() {
        for (bool esc : {false, true}) {
            ShellSession s;
            s.showAndLogin([esc](TFrmlogin& login) {
                if (esc)
                    QTest::keyClick(&login, Qt::Key_Escape);
                else
                    QTest::mouseClick(login.BitBtn2, Qt::LeftButton);
            });
            QCOMPARE(s.ending.count(), 1);
            QVERIFY(s.messages.boxes().empty());
            QVERIFY(MainForm->Session.CurrentUserName.isEmpty());
        }
    }

    void enterAtOnceEndsWithTheUserNameEmpty() {
        ShellSession s;
        s.showAndLogin([](TFrmlogin& login) {
            QCOMPARE(login.focusWidget(), static_cast<QWidget*>(login.BitBtn1));
            QTest::keyClick(login.focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(s.ending.count(), 1);
        QVERIFY(s.messages.boxes().empty());
    }

    void unreachableServerEndsWithItsMessage() {
        ShellSession s;
        s.showAndLogin([](TFrmlogin& login) {
            login.Edit2->setText("127.0.0.1:1");
            QTest::mouseClick(login.Button1, Qt::LeftButton);
        });
        QCOMPARE(s.ending.count(), 1);
        QCOMPARE(s.messages.texts(),
                 QStringList(
                     {"你输入的IP地址不正确或者远程服务器未正确安装或者服务器端velmora-server程序未运行"}));
        QVERIFY(!Frmlogin->isVisible());
    }

    void passwordEntriesThatDisagreeSendNothing() {
        ShellSession s;
        std::string before = dm->ClientDataSethz.CommandText();
        auto fill = [](const char* first, const char* second, bool enterInFirst) {
            test::whenModal([=](QWidget*) {
                TFrmchangepassword* f = Frmchangepassword;
                QVERIFY(f->Edit1->text().isEmpty() && f->Edit2->text().isEmpty());
                QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->Edit1));
                f->Edit1->setText(first);
                if (enterInFirst) {
                    QTest::keyClick(f->Edit1, Qt::Key_Return);
                    QVERIFY(f->isVisible());
                    QCOMPARE(f->focusWidget(), static_cast<QWidget*>(f->Edit2));
                }
                f->Edit2->setText(second);
                QTest::keyClick(f->Edit2, Qt::Key_Return);  // presses OK
            });
        };
        fill("abc", "ABC", true);
        QCOMPARE(MainForm->N15->isEnabled(), true);
        MainForm->N15->trigger();
        fill("abc", "abc ", false);
        navLabel(2)->clicked();
        QCOMPARE(s.messages.texts(), QStringList({"两次口令输入不一致", "两次口令输入不一致"}));
        QCOMPARE(dm->ClientDataSethz.CommandText(), before);

        test::whenModal([](QWidget*) { QTest::keyClick(Frmchangepassword->Edit1, Qt::Key_Escape); });
        QCOMPARE(Frmchangepassword->ShowModal(), int(mrCancel));
        QCOMPARE(dm->ClientDataSethz.CommandText(), before);
    }

    void everyEditBoxIsTheBuddyOfItsCaption() {
        ShellSession s;
        QCOMPARE(Frmlogin->Label3->buddy(), static_cast<QWidget*>(Frmlogin->Edit2));
        QCOMPARE(Frmlogin->Label1->buddy(), static_cast<QWidget*>(Frmlogin->ComboBox1));
        QCOMPARE(Frmlogin->Label2->buddy(), static_cast<QWidget*>(Frmlogin->Edit1));
        QCOMPARE(Frmchangepassword->Label2->buddy(), static_cast<QWidget*>(Frmchangepassword->Edit1));
        QCOMPARE(Frmchangepassword->Label1->buddy(), static_cast<QWidget*>(Frmchangepassword->Edit2));
        QCOMPARE(Frmlogin->Edit2->text(), QString("127.0.0.1"));
        QCOMPARE(Frmlogin->Edit1->echoMode(), QLineEdit::Password);
        QVERIFY(!Frmlogin->ComboBox1->isEnabled() && !Frmlogin->Edit1->isEnabled());
        QCOMPARE(Frmlogin->size(), QSize(432, 345));
    }
};

VELMORA_GUI_TEST_MAIN(ShellTest)
#include "ShellTest.moc"
