// The backup window against the real velmora-server with a backup folder: the list as the server
// gives it, a backup taken now, and the refusals of a user without the right and of a server
// without a folder.
#include <QAction>
#include <QDir>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include "admin/TFrmbackup.h"
#include "app/TMainForm.h"
#include "tests/sales/SalesSession.h"

using namespace velmora;
using velmora::test::SalesSession;

namespace {

TFrmbackup& openBackups() {
    MainForm->N19Click();
    QCoreApplication::processEvents();
    return *Frmbackup;
}

QStringList column(const TFrmbackup& f, int c) {
    QStringList out;
    for (int r = 0; r < f.BackupGrid->rowCount(); ++r) out << f.BackupGrid->item(r, c)->text();
    return out;
}

int backupFiles(const QTemporaryDir& dir) {
    return static_cast<int>(QDir(dir.path()).entryList({"*.vbak"}, QDir::Files).size());
}

}  // namespace

class BackupWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    std::unique_ptr<SalesSession> s;

    QStringList texts() const { return s->shell->messages.texts(); }
    void loginWithFolder(const QString& user, const QString& password) {
        s = std::make_unique<SalesSession>(
            user, password, std::string(),
            std::vector<std::string>{"--backup-dir", folder.path().toStdString(), "--backup-every", "1d"});
    }

  private slots:
    void cleanup() { s.reset(); }

    void theAdministratorSeesTheBackupsAndTakesOneNow() {
        loginWithFolder("管理员", "vantu");
        // The server takes its first backup when it starts.
        QTRY_COMPARE_WITH_TIMEOUT(backupFiles(folder), 1, 60000);
        QVERIFY(MainForm->N19->isEnabled());
        TFrmbackup& f = openBackups();
        QCOMPARE(f.BackupGrid->rowCount(), 1);
        QCOMPARE(column(f, 3), QStringList({"完好"}));
        const QString first = column(f, 0).first();

        f.n_backup->click();
        QCOMPARE(texts().size(), 1);
        QVERIFY2(texts().first().startsWith("备份完成："), qPrintable(texts().first()));
        QCOMPARE(f.BackupGrid->rowCount(), 2);
        QCOMPARE(column(f, 0).at(1), first);  // newest first
        QVERIFY(texts().first().contains(column(f, 0).at(0)));
        QCOMPARE(f.BackupGrid->currentRow(), 0);
        QCOMPARE(column(f, 3), QStringList({"完好", "完好"}));
        QCOMPARE(backupFiles(folder), 2);
        QVERIFY(s->server->log().find("TakeBackup wrote") != std::string::npos);
    }

    void anOperatorIsNotOfferedTheWindowAndTheServerRefusesItAnyway() {
        loginWithFolder("李出纳", "5678");
        QVERIFY(!MainForm->N19->isEnabled());
        TFrmbackup& f = openBackups();
        QCOMPARE(f.BackupGrid->rowCount(), 0);
        QVERIFY2(texts().join(' ').contains("没有权限：数据备份"), qPrintable(texts().join(' ')));
        f.n_backup->click();
        QCOMPARE(texts().size(), 2);
        QVERIFY(texts().at(1).contains("没有权限：数据备份"));
    }

    void aServerWithoutAFolderSaysSo() {
        s = std::make_unique<SalesSession>();
        TFrmbackup& f = openBackups();
        QCOMPARE(f.BackupGrid->rowCount(), 0);
        QVERIFY2(texts().join(' ').contains("服务器未配置备份目录"), qPrintable(texts().join(' ')));
    }

    void sizesReadAsAPersonWouldSayThem() {
        QCOMPARE(sizeText(812), QString("812 字节"));
        QCOMPARE(sizeText(1536), QString("1.50 KB"));
        QCOMPARE(sizeText(23.4 * 1024 * 1024), QString("23.4 MB"));
        QCOMPARE(sizeText(250.0 * 1024 * 1024 * 1024), QString("250 GB"));
    }
};

VELMORA_GUI_TEST_MAIN(BackupWindowTest)
#include "BackupWindowTest.moc"
