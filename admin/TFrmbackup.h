#pragma once
// The backup window (系统管理 → 数据备份), for a user with the right manage_users: the backups in
// the server's backup folder, newest first, with time, size and whether the file checks out; and
// a backup taken now. Restoring stays an act of the administrator on the server machine.

#include <QString>
#include <vector>

#include "widgets/MdiChildForm.h"

class QLabel;
class QTableWidget;
class QToolButton;

namespace velmora {

class ClientSession;
class Panel;

// One backup as the server lists it.
struct BackupEntry {
    QString name;
    QString created;  // local time, "yyyy-MM-dd hh:mm:ss"
    double bytes = 0;
    bool verified = false;
};

// "812 字节", "1.5 KB", "23.4 MB", "1.02 GB".
QString sizeText(double bytes);

class TFrmbackup : public MdiChildForm {
    Q_OBJECT

  public:
    TFrmbackup(QWidget* owner, ClientSession& session);

    Panel* Panel1 = nullptr;  // the button bar
    QToolButton* n_backup = nullptr;
    QToolButton* n_refresh = nullptr;
    QToolButton* n_exit = nullptr;
    QLabel* Label1 = nullptr;            // where the backups are, and how to restore
    QTableWidget* BackupGrid = nullptr;  // 备份文件, 时间, 大小, 检查

    // Takes a backup on the server now and shows it selected in the list.
    void n_backupClick();
    // Reads the list again.
    void n_refreshClick();
    void n_exitClick();

    const std::vector<BackupEntry>& backups() const { return backups_; }

  protected:
    void FormShow() override;

  private:
    void buildToolBar();
    void buildGrid();
    void showBackups();
    // A refusal (no right, no backup folder, a failed backup) is shown with the server's reason.
    bool serve(const std::function<void()>& step);

    ClientSession& session_;
    std::vector<BackupEntry> backups_;
};

inline TFrmbackup* Frmbackup = nullptr;

}  // namespace velmora
