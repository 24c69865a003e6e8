#include "audit/TFrmhistory.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "audit/AuditRows.h"
#include "audit/AuditWords.h"
#include "audit/UserValueWords.h"
#include "data/ClientDataSet.h"
#include "session/ClientSession.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"
#include "widgets/Colors.h"
#include "widgets/FailureText.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("历史");

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    return item;
}

}  // namespace

bool mayReadHistory(const ClientSession& session) {
    return session.CurrentUserRights.has(UserRight::ViewAudit);
}

TFrmhistory::TFrmhistory(ClientSession& session, QWidget* parent) : DialogForm(parent), session_(session) {
    setObjectName(QStringLiteral("Frmhistory"));
    setCaption(kCaption);
    setClientSize(720, 440);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    HistoryGrid = new QTableWidget(0, 4, this);
    HistoryGrid->setObjectName(QStringLiteral("HistoryGrid"));
    HistoryGrid->setAccessibleName(QStringLiteral("历史记录"));
    HistoryGrid->setHorizontalHeaderLabels(
        {QStringLiteral("时间"), QStringLiteral("用户"), QStringLiteral("操作"), QStringLiteral("内容")});
    HistoryGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    HistoryGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    HistoryGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    HistoryGrid->setWordWrap(true);
    HistoryGrid->verticalHeader()->setVisible(false);
    HistoryGrid->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    HistoryGrid->setColumnWidth(0, 150);
    HistoryGrid->setColumnWidth(1, 80);
    HistoryGrid->setColumnWidth(2, 70);
    HistoryGrid->setPalette([this] {
        QPalette p = HistoryGrid->palette();
        p.setColor(QPalette::Base, clInfoBk());
        return p;
    }());

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 0, 0, mrOk);
    BitBtn1->setDefault(true);
    // A column made wider or narrower wraps the changes anew.
    connect(HistoryGrid->horizontalHeader(), &QHeaderView::sectionResized, HistoryGrid,
            &QTableWidget::resizeRowsToContents);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(Label1);
    layout->addWidget(HistoryGrid, 1);
    layout->addWidget(BitBtn1, 0, Qt::AlignRight);
}

void TFrmhistory::FormShow() {
    if (QWidget* owner = parentWidget()) {
        const QRect over = owner->window()->geometry();
        move(over.center() - QPoint(width() / 2, height() / 2));
    }
    // The changes' column has its width only once the layout ran.
    layout()->activate();
    HistoryGrid->resizeRowsToContents();
    HistoryGrid->setCurrentItem(nullptr);
    BitBtn1->setFocus();
}

void TFrmhistory::ShowHistory(const HistorySubject& subject) {
    QString record = toQString(tableCaption(subject.table)) + QLatin1Char(' ') + toQString(subject.key);
    if (!subject.name.isEmpty()) record += QLatin1Char(' ') + subject.name;
    setCaption(kCaption + QStringLiteral(" - ") + record);
    if (!readRows(subject)) return;
    Label1->setText(record + QStringLiteral("：") + Label1->text());
    ShowModal();
}

bool TFrmhistory::readRows(const HistorySubject& subject) {
    ClientDataSet packetRows("history");
    try {
        packetRows.OpenPacket(
            session_.SocketConnection1().getServer()->GetRecordHistory(subject.table, subject.key));
    } catch (const RemoteError& refusal) {
        MessageService::messageBox(refusalText(refusal), kCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    std::vector<ReadableAuditRow> rows = readableAuditRows(packetRows, userValueWords());

    // Which line a row of an order's lines concerns: its item is known from the line's own rows
    // even after the line was deleted.
    OrderLineNames lines = subject.lines;
    for (const ReadableAuditRow& r : rows)
        if (r.table == "xsdzb") lines.learn(r.recordKey, r.changes);

    HistoryGrid->setRowCount(static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const ReadableAuditRow& r = rows[i];
        QStringList content;
        if (r.table == "xsdzb" && r.table != subject.table)
            content << toQString(lines.nameOf(r.recordKey)) + QStringLiteral("：");
        for (const std::string& line : r.content) content << toQString(line);
        const int row = static_cast<int>(i);
        HistoryGrid->setItem(row, 0, cell(toQString(r.time)));
        HistoryGrid->setItem(row, 1, cell(toQString(r.user)));
        HistoryGrid->setItem(row, 2, cell(toQString(r.action)));
        HistoryGrid->setItem(row, 3, cell(content.join(QLatin1Char('\n'))));
    }
    HistoryGrid->resizeRowsToContents();
    Label1->setText(rows.empty() ? QStringLiteral("没有操作记录。")
                                 : QStringLiteral("共 %1 条，最新的在前。").arg(rows.size()));
    return true;
}

void showRecordHistory(ClientSession& session, QWidget* parent, const HistorySubject& subject) {
    TFrmhistory window(session, parent);
    window.ShowHistory(subject);
}

}  // namespace velmora
