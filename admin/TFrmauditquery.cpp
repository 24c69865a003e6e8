#include "admin/TFrmauditquery.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include "admin/TFrmauditresult.h"
#include "audit/AuditRows.h"
#include "audit/AuditTime.h"
#include "audit/AuditWords.h"
#include "audit/UserValueWords.h"
#include "data/Tdm.h"
#include "reports/ReportControls.h"
#include "session/ClientSession.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FailureText.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("操作日志");
const QString kAll = QStringLiteral("全部");

QComboBox* addCombo(QWidget* parent, const char* name, int left, int top, int width) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left, top, width, 21);
    // Rows of the drop-down list as high as a line of the Song typeface needs.
    box->setItemDelegate(new QStyledItemDelegate(box));
    return box;
}

// 全部 first (no restriction), then each name by its caption.
void fillNames(QComboBox* box, const std::vector<AuditName>& names) {
    box->addItem(kAll, QString());
    for (const AuditName& n : names) box->addItem(QString::fromUtf8(n.caption), QString::fromLatin1(n.name));
}

std::string chosenName(const QComboBox* box) {
    return toStdString(box->currentData().toString());
}

}  // namespace

TFrmauditquery::TFrmauditquery(ClientSession& session) : session_(session) {
    setObjectName(QStringLiteral("Frmauditquery"));
    setCaption(QStringLiteral("操作日志查询"));
    setClientSize(520, 250);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Label14 = addLabel(this, "Label14", 16, 12, QStringLiteral("请输入查询条件："));
    Label14->setFont(songFont(15));
    Label14->adjustSize();
    buildCriteria();

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 136, 208, mrNone);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, guardedSlot([this] { BitBtn1Click(); }));
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 310, 208, mrCancel);
    BitBtn2->setAutoDefault(false);
}

void TFrmauditquery::buildCriteria() {
    Panel1 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(10, 40, 500, 152);
    Panel1->setColor(clBtnFace());
    QWidget* p = Panel1;

    // Created in the order the Tab key visits them: row by row, left to right.
    const QDate today = QDate::currentDate();
    Label1 = addLabel(p, "Label1", 16, 20, QStringLiteral("日期："));
    dp1 = addDatePicker(p, "dp1", 88, 16, 110, today.addDays(-6));
    Label9 = addLabel(p, "Label9", 206, 20, QStringLiteral("至"));
    dp2 = addDatePicker(p, "dp2", 228, 16, 110, today);

    Label2 = addLabel(p, "Label2", 16, 52, QStringLiteral("用户："));
    ComboBox1 = addCombo(p, "ComboBox1", 88, 48, 110);
    // A user removed since still stands in the log: a name may be typed as well as chosen.
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    Label3 = addLabel(p, "Label3", 250, 52, QStringLiteral("操作："));
    ComboBox2 = addCombo(p, "ComboBox2", 300, 48, 110);
    fillNames(ComboBox2, auditActions());

    Label4 = addLabel(p, "Label4", 16, 84, QStringLiteral("对象："));
    ComboBox3 = addCombo(p, "ComboBox3", 88, 80, 110);
    fillNames(ComboBox3, auditTables());
    Label5 = addLabel(p, "Label5", 250, 84, QStringLiteral("关键字含："));
    Edit1 = addEdit(p, "Edit1", 320, 80, 150);

    auto* note = addLabel(p, "Label6", 16, 118,
                          QStringLiteral("用户留空为全部用户；关键字为编号、单号或用户名的一部分。"));
    note->setEnabled(false);

    Label1->setBuddy(dp1);
    Label2->setBuddy(ComboBox1);
    Label3->setBuddy(ComboBox2);
    Label4->setBuddy(ComboBox3);
    Label5->setBuddy(Edit1);
    dp2->setAccessibleName(QStringLiteral("日期止"));
}

void TFrmauditquery::FormShow() {
    fillUserNames(ComboBox1, session_.dm().ClientDataSethz, true);
}

std::vector<std::string> TFrmauditquery::criteriaLines() const {
    auto orAll = [](const QString& text) {
        return toStdString(text.trimmed().isEmpty() ? kAll : text.trimmed());
    };
    std::vector<std::string> lines{"日期：" + pickerDateText(dp1) + " 至 " + pickerDateText(dp2),
                                   "用户：" + orAll(ComboBox1->currentText()),
                                   "操作：" + toStdString(ComboBox2->currentText()),
                                   "对象：" + toStdString(ComboBox3->currentText())};
    if (!Edit1->text().trimmed().isEmpty())
        lines.push_back("关键字含：" + toStdString(Edit1->text().trimmed()));
    return lines;
}

void TFrmauditquery::BitBtn1Click() {
    const std::string from = pickerDateText(dp1), to = pickerDateText(dp2);
    if (from > to) {
        MessageService::messageBox(QStringLiteral("起始日期晚于截止日期"), kCaption,
                                   MB_OK | MB_ICONINFORMATION);
        dp1->setFocus();
        return;
    }
    // The server keeps UTC; the days asked for are this computer's.
    const auto [utcFrom, utcTo] = utcDatesSpanning(from, to);
    ClientDataSet found("auditquery");
    try {
        found.OpenPacket(session_.SocketConnection1().getServer()->QueryAuditLog(
            utcFrom, utcTo, toStdString(ComboBox1->currentText().trimmed()), chosenName(ComboBox2),
            chosenName(ComboBox3), toStdString(Edit1->text().trimmed())));
    } catch (const RemoteError& refusal) {
        MessageService::messageBox(refusalText(refusal), kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    const bool capped = static_cast<size_t>(found.RecordCount()) >= kAuditQueryCap;
    std::vector<ReadableAuditRow> rows;
    for (ReadableAuditRow& row : readableAuditRows(found, userValueWords())) {
        const std::string day = row.time.substr(0, 10);
        if (day >= from && day <= to) rows.push_back(std::move(row));
    }
    setModalResult(mrOk);
    TFrmauditresult* result = session_.ShowOrCreateForm(Frmauditresult, session_.MainForm);
    result->ShowRows(rows, criteriaLines(), capped);
}

}  // namespace velmora
