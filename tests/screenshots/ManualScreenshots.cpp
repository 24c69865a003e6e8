// Takes the manual's screenshots from the real windows against the real server with the demo
// data, so that they show what the program shows today. Not a test: scripts/manual-screenshots.sh
// runs it on a virtual X display (no window manager) and writes the pictures to docs/screenshots,
// or to the folder VELMORA_SCREENSHOT_DIR names.
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "admin/TFrmauditquery.h"
#include "admin/TFrmauditresult.h"
#include "admin/TFrmusers.h"
#include "app/Pictures.h"
#include "app/ServerTrust.h"
#include "app/TFrmflash.h"
#include "app/TFrmlogin.h"
#include "data/Tdm.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "reports/TFrmchhzquery.h"
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
};

VELMORA_GUI_TEST_MAIN(ManualScreenshots)
#include "ManualScreenshots.moc"
