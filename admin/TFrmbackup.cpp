#include "admin/TFrmbackup.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "audit/AuditTime.h"
#include "data/ClientDataSet.h"
#include "session/ClientSession.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FailureText.h"
#include "widgets/Fonts.h"
#include "widgets/MaintenancePictures.h"
#include "widgets/MessageService.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("数据备份");

QTableWidgetItem* cell(const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setTextAlignment(align);
    return item;
}

std::vector<BackupEntry> readBackupList(Bytes packet) {
    ClientDataSet list("BackupList");
    list.OpenPacket(std::move(packet));
    std::vector<BackupEntry> entries;
    for (list.First(); !list.Eof(); list.Next()) {
        BackupEntry e;
        e.name = toQString(list.FieldByName("name").AsString());
        e.created = toQString(localTimeText(list.FieldByName("created").AsString()));
        e.bytes = list.FieldByName("size").AsFloat();
        e.verified = list.FieldByName("verified").AsBoolean();
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

QString sizeText(double bytes) {
    if (bytes < 1024) return QStringLiteral("%1 字节").arg(static_cast<qint64>(bytes));
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = bytes / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    const int decimals = value < 10 ? 2 : value < 100 ? 1 : 0;
    return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(units[unit]));
}

TFrmbackup::TFrmbackup(QWidget* owner, ClientSession& session) : MdiChildForm(owner), session_(session) {
    setObjectName(QStringLiteral("Frmbackup"));
    setCaption(kCaption);
    setFont(songFont(12));
    setFrameSize(640, 400);
    buildToolBar();
    buildGrid();
    Label1 = new QLabel(QStringLiteral("备份保存在服务器的备份目录中，服务器也按设置定时备份。恢复数据须由系"
                                       "统管理员在服务器上停止服务后进行"
                                       "（velmora-server restore）。"),
                        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setContentsMargins(6, 4, 6, 4);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Label1);
    layout->addWidget(BackupGrid, 1);
}

void TFrmbackup::buildToolBar() {
    Panel1 = new Panel(this, Panel::Bevel::Raised);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(34);
    using P = MaintenancePicture;
    fillButtonBar(Panel1, {
                              {n_backup, "n_backup", "立即备份", P::Save, [this] { n_backupClick(); }},
                              {n_refresh, "n_refresh", "刷新", P::Refresh, [this] { n_refreshClick(); }},
                              {n_exit, "n_exit", "退出", P::Exit, [this] { n_exitClick(); }},
                          });
}

void TFrmbackup::buildGrid() {
    BackupGrid = new QTableWidget(0, 4, this);
    BackupGrid->setObjectName(QStringLiteral("BackupGrid"));
    BackupGrid->setAccessibleName(QStringLiteral("备份"));
    BackupGrid->setHorizontalHeaderLabels(
        {QStringLiteral("备份文件"), QStringLiteral("时间"), QStringLiteral("大小"), QStringLiteral("检查")});
    BackupGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    BackupGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    BackupGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    BackupGrid->verticalHeader()->setVisible(false);
    BackupGrid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    BackupGrid->setColumnWidth(1, 160);
    BackupGrid->setColumnWidth(2, 90);
    BackupGrid->setColumnWidth(3, 60);
}

void TFrmbackup::FormShow() {
    guarded([this] { n_refreshClick(); });
}

bool TFrmbackup::serve(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const RemoteError& refusal) {
        MessageService::messageBox(refusalText(refusal), kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
}

void TFrmbackup::n_refreshClick() {
    serve([this] { backups_ = readBackupList(session_.SocketConnection1().getServer()->ListBackups()); });
    showBackups();
}

void TFrmbackup::showBackups() {
    BackupGrid->setRowCount(static_cast<int>(backups_.size()));
    for (size_t i = 0; i < backups_.size(); ++i) {
        const BackupEntry& b = backups_[i];
        const int row = static_cast<int>(i);
        BackupGrid->setItem(row, 0, cell(b.name));
        BackupGrid->setItem(row, 1, cell(b.created));
        BackupGrid->setItem(row, 2, cell(sizeText(b.bytes), Qt::AlignRight | Qt::AlignVCenter));
        QTableWidgetItem* check = cell(b.verified ? QStringLiteral("完好") : QStringLiteral("损坏"));
        if (!b.verified) check->setForeground(QColor(200, 0, 0));
        BackupGrid->setItem(row, 3, check);
    }
    if (!backups_.empty()) BackupGrid->selectRow(0);
}

void TFrmbackup::n_backupClick() {
    std::string name;
    double bytes = 0;
    {
        // A backup of a large database takes a while; the server answers when the file is complete.
        struct WaitCursor {
            WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
            ~WaitCursor() { QApplication::restoreOverrideCursor(); }
        } busy;
        if (!serve([&] { name = session_.SocketConnection1().getServer()->TakeBackup(bytes); })) return;
    }
    n_refreshClick();
    for (size_t i = 0; i < backups_.size(); ++i)
        if (backups_[i].name == toQString(name)) BackupGrid->selectRow(static_cast<int>(i));
    MessageService::messageBox(QStringLiteral("备份完成：%1（%2）").arg(toQString(name), sizeText(bytes)),
                               kCaption, MB_OK | MB_ICONINFORMATION);
}

void TFrmbackup::n_exitClick() {
    Close();
}

}  // namespace velmora
