// Takes the manual's screenshots from the real windows against the real server with the demo
// data, so that they show what the program shows today. Not a test: scripts/manual-screenshots.sh
// runs it on a virtual X display (no window manager) and writes the pictures to docs/screenshots,
// or to the folder VELMORA_SCREENSHOT_DIR names.
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include "admin/TFrmauditquery.h"
#include "admin/TFrmauditresult.h"
#include "admin/TFrmbackup.h"
#include "admin/TFrmusers.h"
#include "app/Pictures.h"
#include "app/ServerTrust.h"
#include "app/TFrmflash.h"
#include "app/TFrmlogin.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmjyfx.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmxsdresult.h"
#include "reports/TFrmywyhzquery.h"
#include "sales/TFrmkp.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "tests/masterdata/MasterDataSession.h"
#include "tests/sales/SalesSession.h"
#include "widgets/BitBtn.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/FolderTreeView.h"

using namespace velmora;

namespace {

// The main window's design size, at which the manual shows the child windows.
constexpr QSize kDesignSize(812, 612);

QString outputFolder() {
    QString folder = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    return folder.isEmpty() ? QStringLiteral(VELMORA_SOURCE_DIR "/docs/screenshots") : folder;
}

// Lets the window paint and the X server take the picture; a tool, so a short wait is fine.
void settle(QWidget* window) {
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(400);
}

// The screen under window's frame, dialogs over it included.
void shoot(QWidget* window, const char* name) {
    settle(window);
    const QRect area = window->frameGeometry();
    QPixmap picture = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = outputFolder() + QLatin1Char('/') + QLatin1String(name);
    QVERIFY2(picture.save(path, "PNG"), qPrintable(path));
    qInfo("%s", qPrintable(path));
}

void atDesignSize() {
    MainForm->showNormal();
    MainForm->setGeometry(QRect(QPoint(0, 0), kDesignSize));
}

void typeInto(QWidget* box, const QString& text, bool enter = true) {
    box->setFocus();
    test::typeText(box, text);
    if (enter) QTest::keyClick(box, Qt::Key_Return);
}

// Clicks the button of a message box whose text starts with caption (its key left aside).
void clickButton(QWidget* box, const QString& caption) {
    for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
        if (button->text().remove(QLatin1Char('&')).startsWith(caption)) {
            button->click();
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no button ") + caption));
}

// A session logged in through the real login dialog (so that a lost connection is reconnected),
// the main window at the manual's size.
std::unique_ptr<test::SalesSession> loggedIn(const QString& user, const QString& password,
                                             std::vector<std::string> serverArgs = {}) {
    auto session = std::make_unique<test::SalesSession>(user, password, std::string(), std::move(serverArgs));
    atDesignSize();
    return session;
}

// A new order in 销售开票 as far as its lines, typed as a user types it; not saved.
void typeOrder(test::SalesSession& session, TFrmkp* f, const QString& number) {
    test::SalesSession::click(f->n_insert);
    typeInto(f->DBEdit1, number);
    typeInto(f->DBEdit3, QStringLiteral("K003"));
    typeInto(f->DBEdit5, QStringLiteral("Y01"));
    session.addLines({0, 2});
    const QStringList quantities = {"12", "5"}, prices = {"3.5", "8.8"};
    for (int row = 0; row < f->DBGrid1->model()->rowCount() && row < 2; ++row) {
        test::SalesSession::typeCell(f->DBGrid1, row, 4, quantities[row]);
        test::SalesSession::typeCell(f->DBGrid1, row, 5, prices[row]);
    }
}

// Makes a certificate for 127.0.0.1 at cert and key with the server program, replacing any.
void makeCertificate(const test::ServerProcess& server, const QString& cert, const QString& key) {
    QFile::remove(cert);
    QFile::remove(key);
    QCOMPARE(server.runCommand({"cert", "create", "--name", "127.0.0.1", "--cert", cert.toStdString(),
                                "--key", key.toStdString()},
                               std::string()),
             0);
}

// Adds 20,000 orders of ten lines in 2003, for 300 customers, 120 items and eight salesmen.
void addManyOrders(const test::MasterDataSession& session) {
    session.executeElsewhere(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
        "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, ischeck, rq) "
        "select 'DA' || printf('%06d', i), 'K' || printf('%04d', (i * 7919) % 300), "
        "'客户' || printf('%04d', (i * 7919) % 300), 'Y0' || (i % 8), "
        "coalesce((select ywyname from ywy where ywyid = 'Y0' || (i % 8)), '业务员0' || (i % 8)), "
        "'管理员', 0, date('2003-01-01', '+' || (i % 365) || ' days') from n;"
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 199999) "
        "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) "
        "select 'DA' || printf('%06d', i / 10 + 1), 'C' || printf('%04d', (i * 31) % 120), "
        "'存货' || printf('%04d', (i * 31) % 120), '规格', '个', i % 7 + 1, 18.5, 18.5 * (i % 7 + 1) "
        "from n;");
}

// Puts a message box over the middle of the main window, where the manual shows it (without a
// window manager it comes up in the middle of the screen).
void overMainWindow(QWidget* box) {
    box->move(MainForm->frameGeometry().center() - box->rect().center());
}

// Opens a menu of the main window's menu bar with item highlighted and its hint in the status
// bar, as when the mouse rests on it.
void openMenu(QMenu* menu, QAction* item) {
    MainForm->menuBar()->setActiveAction(menu->menuAction());
    QTRY_VERIFY(menu->isVisible());
    menu->setActiveAction(item);
    item->showStatusText(MainForm);
}

}  // namespace

class ManualScreenshots : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("takes pictures of an X display: run scripts/manual-screenshots.sh");
        QDir().mkpath(outputFolder());
        QApplication::setWindowIcon(programIcon());  // as the program's entry sets it
    }
    void init() { s = std::make_unique<test::MasterDataSession>(); }
    void cleanup() { s.reset(); }

    void splashLoginAndMainWindow() {
        TFrmflash splash;
        splash.show();
        shoot(&splash, "splash.png");
        splash.hide();

        TFrmlogin login(MainForm->SocketConnection1, MainForm->Trust, *dm);
        login.show();
        shoot(&login, "login-dialog.png");
        login.hide();

        MainForm->showAtStart();
        shoot(MainForm, "main-window.png");

        // Connected to a server without encryption: the mark beside the address and in the
        // status bar. The login's own connection replaces the session's, which is over then.
        atDesignSize();
        login.show();
        login.Edit2->setText(QStringLiteral("127.0.0.1:%1").arg(s->server.port()));
        QTest::mouseClick(login.Button1, Qt::LeftButton);
        QTRY_VERIFY(login.Label11->isVisible());
        shoot(&login, "login-unencrypted.png");
        login.hide();
        showEncryptionMark(MainForm->EncryptionLabel, MainForm->SocketConnection1);
        shoot(MainForm, "main-window-unencrypted.png");
    }

    void masterData() {
        atDesignSize();
        s->open(Frmchfl);
        shoot(MainForm, "masterdata-categories.png");
        s->close(Frmchfl);
        TFrmch* items = s->open(Frmch);
        if (QTreeWidgetItem* node = test::findNode(items->TreeView1, QStringLiteral("(01-001)")))
            test::clickNode(items->TreeView1, node);
        shoot(MainForm, "masterdata-items.png");
        s->close(items);
        s->open(Frmkh);
        shoot(MainForm, "masterdata-customers.png");
        s->close(Frmkh);
        s->open(Frmywy);
        shoot(MainForm, "masterdata-salesmen.png");
    }

    void invoicing() {
        atDesignSize();
        TFrmkp* f = s->open(Frmkp);
        test::press(f->n_insert);
        typeInto(f->DBEdit1, QStringLiteral("XS100001"));
        // The pickers, each over the window.
        test::whenModal([](QWidget* picker) {
            shoot(picker, "sales-customer-picker.png");
            picker->close();
        });
        f->DBEdit3DblClick();
        typeInto(f->DBEdit3, QStringLiteral("K003"));
        test::whenModal([](QWidget* picker) {
            shoot(picker, "sales-salesman-picker.png");
            picker->close();
        });
        f->DBEdit5DblClick();
        typeInto(f->DBEdit5, QStringLiteral("Y01"));
        test::whenModal([](QWidget* dialog) {
            auto* picker = qobject_cast<TfrmClbm_Fzlr*>(dialog);
            QVERIFY(picker);
            for (int row : {0, 2, 4})
                picker->DBGrid1->selectionModel()->select(
                    picker->DBGrid1->model()->index(row, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
            shoot(picker, "sales-item-picker.png");
            picker->BitBtn1->click();
        });
        test::press(f->n_insertone);
        const QStringList quantities = {"12", "5", "20"}, prices = {"3.5", "8.8", "2.6"};
        for (int row = 0; row < f->DBGrid1->model()->rowCount() && row < 3; ++row) {
            test::SalesSession::typeCell(f->DBGrid1, row, 4, quantities[row]);
            test::SalesSession::typeCell(f->DBGrid1, row, 5, prices[row]);
        }
        shoot(MainForm, "sales-invoicing-entry.png");
        test::press(f->n_save);
        shoot(MainForm, "sales-invoicing-saved.png");

        test::whenModal([](QWidget* preview) {
            preview->resize(900, 700);
            shoot(preview, "print-invoice-preview.png");
            preview->close();
        });
        test::press(f->n_print);

        test::whenModal([](QWidget* history) {
            shoot(MainForm, "history-window.png");
            history->close();
        });
        test::press(f->n_history);
        f->bringToFrontAndFocus();

        // 审核 of one's own order, refused by the server in the real box.
        MessageService::setHandler(nullptr);
        test::whenModal([](QWidget* question) {
            test::whenModal([](QWidget* refusal) {
                shoot(MainForm, "sales-invoicing-own-refused.png");
                refusal->close();
            });
            qobject_cast<QMessageBox*>(question)->button(QMessageBox::Yes)->click();
        });
        test::press(f->n_approve);
    }

    void reports() {
        atDesignSize();
        test::whenModal([](QWidget* dialog) {
            shoot(dialog, "reports-list-dialog.png");
            Frmxsdquery->BitBtn1->click();
        });
        MainForm->N10Click();
        shoot(MainForm, "reports-list-result.png");
        test::whenModal([](QWidget* preview) {
            preview->resize(900, 700);
            shoot(preview, "print-report-preview.png");
            preview->close();
        });
        Frmxsdresult->n_printClick();

        const struct {
            SummaryQueryForm* dialog;
            void (TMainForm::*open)();
            const char* dialogShot;
            const char* resultShot;
        } summaries[] = {
            {Frmkhhzquery, &TMainForm::N11Click, "reports-summary-dialog.png", "reports-summary-result.png"},
            {Frmchhzquery, &TMainForm::N13Click, nullptr, "reports-item-summary-result.png"},
            {Frmywyhzquery, &TMainForm::N12Click, nullptr, "reports-salesman-summary-result.png"},
        };
        for (const auto& summary : summaries) {
            test::whenModal([&summary](QWidget* dialog) {
                summary.dialog->dp1->setDate(QDate(2002, 10, 1));
                summary.dialog->dp2->setDate(QDate::currentDate());
                if (summary.dialogShot) shoot(dialog, summary.dialogShot);
                summary.dialog->BitBtn1->click();
            });
            (MainForm->*summary.open)();
            shoot(MainForm, summary.resultShot);
        }
    }

    void administration() {
        atDesignSize();
        TFrmusers* users = s->open(Frmusers);
        users->UserGrid->selectRow(1);
        shoot(MainForm, "user-management.png");
        test::whenModal([](QWidget* dialog) {
            shoot(MainForm, "user-management-change.png");
            dialog->close();
        });
        users->n_changeClick();
        s->close(users);

        test::whenModal([](QWidget* dialog) {
            shoot(dialog, "audit-log-query.png");
            Frmauditquery->BitBtn1->click();
        });
        MainForm->N18Click();
        shoot(MainForm, "audit-log.png");
    }

    void menus() {
        atDesignSize();
        openMenu(MainForm->N7, MainForm->N11);
        shoot(MainForm, "main-window-menu.png");
        MainForm->N7->close();
        QList<QAction*> help = MainForm->Help1->actions();
        QVERIFY(!help.isEmpty());
        openMenu(MainForm->Help1, help.last());  // 关于, its hint in the status bar
        shoot(MainForm, "help-menu.png");
        MainForm->Help1->close();
    }

    void duplicateCustomer() {
        atDesignSize();
        TFrmkh* customers = s->open(Frmkh);
        test::press(customers->Panel1->n_insert);
        typeInto(customers->DBEdits[0], QStringLiteral("K002"), false);
        typeInto(customers->DBEdits[1], QStringLiteral("重号客户"), false);
        MessageService::setHandler(nullptr);
        test::whenModal([](QWidget* box) {
            shoot(MainForm, "masterdata-customers-duplicate.png");
            box->close();
        });
        test::press(customers->Panel1->n_save);
        test::press(customers->Panel1->n_cancel);
    }

    // The order list of many lines while its rows come in, held back after some parts so that
    // the picture is taken midway.
    void orderListFillingIn() {
        atDesignSize();
        addManyOrders(*s);
        test::whenModal([](QWidget*) {
            Frmxsdquery->dp1->setDate(QDate(2002, 1, 1));
            Frmxsdquery->dp2->setDate(QDate(2003, 12, 31));
            Frmxsdquery->BitBtn1->click();
        });
        MainForm->N10Click();
        QVERIFY(Frmxsdresult && Frmxsdresult->Fetching());
        QTRY_VERIFY_WITH_TIMEOUT(dm->ClientDataSetxsdview.RecordCount() > 30000, 60000);
        TFrmxsdresult::HoldBack = true;
        shoot(MainForm, "order-list-filling-in.png");
        TFrmxsdresult::HoldBack = false;
        QTRY_VERIFY_WITH_TIMEOUT(!Frmxsdresult->Fetching(), 60000);
    }

    void analysis() {
        MainForm->showNormal();
        MainForm->setGeometry(MainForm->screen()->availableGeometry());
        // The demo data, then many customers and items over a year: the rest outgrows the ten.
        const auto query = [] {
            Frmjyfx->dp1->setDate(QDate(2002, 1, 1));
            Frmjyfx->dp2->setDate(QDate(2003, 12, 31));
            Frmjyfx->ComboBox1->setCurrentIndex(Frmjyfx->ComboBox1->findText(QStringLiteral("按月")));
            Frmjyfx->BitBtn1->click();
        };
        s->open(Frmjyfx);
        query();
        shoot(MainForm, "reports-analysis.png");
        s->close(Frmjyfx);

        addManyOrders(*s);
        s->open(Frmjyfx);
        query();
        QTRY_VERIFY_WITH_TIMEOUT(Frmjyfx->Label7->text().contains(QStringLiteral("20030")), 60000);
        shoot(MainForm, "reports-analysis-large.png");
    }

    // Encrypted connections: the question at the first contact with a server, and the warning
    // when the certificate it shows is another than the one remembered.
    void encryption() {
        atDesignSize();
        QTemporaryDir folder;
        const QString cert = folder.filePath("cert.pem"), key = folder.filePath("key.pem");
        makeCertificate(s->server, cert, key);
        test::ServerProcess::Options options;
        options.extraArgs = {"--tls",     "require",        "--tls-cert", cert.toStdString(),
                             "--tls-key", key.toStdString()};
        test::ServerProcess encrypted(options);
        test::TerminationRecorder ending;  // the refused connection would end the program

        // The login opens the main window's connection anew: the session's goes.
        MainForm->SocketConnection1.close();
        TFrmlogin login(MainForm->SocketConnection1, MainForm->Trust, *dm);
        login.show();
        login.move(MainForm->frameGeometry().center() - login.rect().center());
        login.Edit2->setText(QString::fromStdString(encrypted.address()));
        MessageService::setHandler(nullptr);
        test::whenModal([](QWidget* question) {
            overMainWindow(question);
            shoot(MainForm, "tls-fingerprint-question.png");
            test::whenModal([](QWidget* chooseUser) { chooseUser->close(); });
            clickButton(question, QStringLiteral("是"));
        });
        QTest::mouseClick(login.Button1, Qt::LeftButton);
        QTRY_VERIFY(login.Label11->isVisible());

        // The server comes back with another certificate.
        makeCertificate(s->server, cert, key);
        encrypted.restart();
        MainForm->SocketConnection1.close();
        test::whenModal([](QWidget* warning) {
            overMainWindow(warning);
            shoot(MainForm, "tls-certificate-changed.png");
            warning->close();
        });
        QTest::mouseClick(login.Button1, Qt::LeftButton);
        QTRY_COMPARE(ending.count(), 1);
    }

    // 销售开票 as an approver sees it: an order approved, another one browsed, and changed.
    void approval() {
        s.reset();
        auto approver = loggedIn(QStringLiteral("王会计"), QStringLiteral("1234"));
        const std::string number = approver->scalar(
            "select xsdid from xsdtb where username <> '王会计' and ischeck = 0 order by xsdid limit 1");
        TFrmkp* f = &approver->openInvoicing();
        QVERIFY(test::SalesSession::gotoOrder(number));
        approver->shell->messages.answerNext(MessageButton::Yes);
        test::SalesSession::click(f->n_approve);
        QCOMPARE(f->DBEdit8->text(), QStringLiteral("王会计"));
        shoot(MainForm, "sales-invoicing-approved.png");

        dm->ClientDataSetxsdtb.Next();
        shoot(MainForm, "sales-invoicing-browse.png");
        test::SalesSession::click(f->n_edit);
        shoot(MainForm, "sales-invoicing-edit.png");
        test::SalesSession::click(f->n_cancel);
    }

    void backup() {
        s.reset();
        QTemporaryDir folder;
        auto admin = loggedIn(QStringLiteral("管理员"), QStringLiteral("vantu"),
                              {"--backup-dir", folder.path().toStdString()});
        MainForm->N19Click();
        QVERIFY(Frmbackup);
        const int before = Frmbackup->BackupGrid->rowCount();
        test::SalesSession::click(Frmbackup->n_backup);
        QTRY_COMPARE(Frmbackup->BackupGrid->rowCount(), before + 1);
        shoot(MainForm, "backup-window.png");
    }

    // The server stops while an order is typed: the question to reconnect, and the answer of a
    // reconnect that cannot reach it yet.
    void reconnect() {
        s.reset();
        auto session = loggedIn(QStringLiteral("管理员"), QStringLiteral("vantu"));
        TFrmkp* f = &session->openInvoicing();
        typeOrder(*session, f, QStringLiteral("XS100002"));
        MessageService::setHandler(nullptr);
        bool answered = false;
        test::whenModal(
            [&answered](QWidget* lost) {
                shoot(MainForm, "reconnect-question.png");
                test::whenModal([&answered](QWidget* failed) {
                    shoot(MainForm, "reconnect-failed.png");
                    clickButton(failed, QStringLiteral("取消"));
                    answered = true;
                });
                clickButton(lost, QStringLiteral("重新连接"));
            },
            30000);
        session->server->stop();
        QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
    }
};

VELMORA_GUI_TEST_MAIN(ManualScreenshots)
#include "ManualScreenshots.moc"
