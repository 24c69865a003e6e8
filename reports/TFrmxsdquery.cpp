#include "reports/TFrmxsdquery.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <algorithm>

#include "data/Tdm.h"
#include "reports/ListCriteria.h"
#include "reports/OrderListOpen.h"
#include "reports/ReportControls.h"
#include "session/ClientSession.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

TFrmxsdquery::TFrmxsdquery(ClientSession& session) : session_(session) {
    setObjectName(QStringLiteral("Frmxsdquery"));
    setCaption(QStringLiteral("销售发票明细查询"));
    setClientSize(619, 327);
    setBackground(clBtnFace());
    setFont(songFont(12));

    buildHeading();
    buildCriteria();

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 136, 272, mrNone);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        // A failure of the server still ends the dialog, its boxes as typed.
        if (!guarded([this] { BitBtn1Click(); })) setModalResult(mrOk);
    });
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 392, 272, mrCancel);
    BitBtn2->setAutoDefault(false);
}

void TFrmxsdquery::buildHeading() {
    Label14 = addLabel(this, "Label14", 232, 8, QStringLiteral("销售单明细查询"));
    Label14->setFont(fontOf(QStringLiteral("隶书"), 24));
    QPalette maroon = Label14->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    Label14->setPalette(maroon);
    Label14->adjustSize();
    // The typeface standing in for the clerical script has a taller line than the heading was laid
    // out for; its glyphs are lifted to where the heading's were, clear of the line below.
    int lift = QFontMetrics(Label14->font()).ascent() - qRound(24 * 0.88);
    if (lift > 0) Label14->move(232, 8 - lift);
    Label8 = addLabel(this, "Label8", 248, 32, QStringLiteral("请输入查询条件："));
    Label8->setFont(songFont(19));
    Label8->adjustSize();
    Label15 = addLabel(this, "Label15", 16, 56, QStringLiteral("注意：本多重条件查询功能未做完全。"));
    Label15->setFont(songFont(13));
    Label15->adjustSize();
}

void TFrmxsdquery::buildCriteria() {
    Panel1 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(10, 80, 599, 161);
    Panel1->setColor(clBtnFace());
    QWidget* p = Panel1;

    // Created in the order the Tab key visits them: row by row, left to right.
    Label1 = addLabel(p, "Label1", 16, 32, QStringLiteral("业务日期："));
    dp1 = addDatePicker(p, "dp1", 80, 24, 97, initialReportDate());
    Label9 = addLabel(p, "Label9", 180, 28, QStringLiteral("-------"));
    dp2 = addDatePicker(p, "dp2", 208, 24, 97, initialReportDate());
    Label2 = addLabel(p, "Label2", 312, 24, QStringLiteral("发票号："));
    Edit3 = addEdit(p, "Edit3", 360, 24, 89);
    Label10 = addLabel(p, "Label10", 452, 28, QStringLiteral("-------"));
    Edit4 = addEdit(p, "Edit4", 496, 24, 81);

    Label3 = addLabel(p, "Label3", 16, 72, QStringLiteral("客户编码："));
    Edit5 = addEdit(p, "Edit5", 78, 64, 97);
    Label13 = addLabel(p, "Label13", 184, 72, QStringLiteral("制单人："));
    ComboBox1 = new QComboBox(p);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(232, 64, 97, 20);
    // Rows of the drop-down list as high as a line of the Song typeface needs.
    ComboBox1->setItemDelegate(new QStyledItemDelegate(ComboBox1));
    Label6 = addLabel(p, "Label6", 344, 64, QStringLiteral("数量："));
    Edit8 = addEdit(p, "Edit8", 390, 64, 73);
    Label11 = addLabel(p, "Label11", 466, 68, QStringLiteral("------"));
    Edit9 = addEdit(p, "Edit9", 512, 64, 65);

    Label5 = addLabel(p, "Label5", 16, 104, QStringLiteral("存货编码："));
    Edit7 = addEdit(p, "Edit7", 80, 104, 89);
    Label4 = addLabel(p, "Label4", 184, 104, QStringLiteral("业务员编码："));
    Edit6 = addEdit(p, "Edit6", 272, 104, 89);
    Label7 = addLabel(p, "Label7", 376, 104, QStringLiteral("金额："));
    Edit10 = addEdit(p, "Edit10", 416, 104, 57);
    Label12 = addLabel(p, "Label12", 476, 108, QStringLiteral("------"));
    Edit11 = addEdit(p, "Edit11", 520, 104, 57);

    Label16 = addLabel(p, "Label16", 16, 136, QStringLiteral("审核状态："));
    ComboBox2 = new QComboBox(p);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    // In the order of ApprovalState; the first, 全部, is the default.
    for (ApprovalState state : {ApprovalState::All, ApprovalState::Approved, ApprovalState::NotApproved})
        ComboBox2->addItem(QString::fromUtf8(approvalStateText(state)));
    ComboBox2->setGeometry(80, 132, 89, 20);
    ComboBox2->setItemDelegate(new QStyledItemDelegate(ComboBox2));

    // Assistive technology names each box by its caption; the second box of a range by its role.
    Label1->setBuddy(dp1);
    Label2->setBuddy(Edit3);
    Label3->setBuddy(Edit5);
    Label13->setBuddy(ComboBox1);
    Label6->setBuddy(Edit8);
    Label5->setBuddy(Edit7);
    Label4->setBuddy(Edit6);
    Label7->setBuddy(Edit10);
    Label16->setBuddy(ComboBox2);
    dp2->setAccessibleName(QStringLiteral("业务日期止"));
    Edit4->setAccessibleName(QStringLiteral("发票号止"));
    Edit9->setAccessibleName(QStringLiteral("数量上限"));
    Edit11->setAccessibleName(QStringLiteral("金额上限"));
}

void TFrmxsdquery::FormShow() {
    // Rebuilt each showing, so a dialog cancelled earlier shows no name twice.
    fillUserNames(ComboBox1, session_.dm().ClientDataSethz, false);
}

ListCriteria TFrmxsdquery::criteria() const {
    ListCriteria c;
    c.userName = toStdString(ComboBox1->currentText());
    c.dateFrom = pickerDateText(dp1);
    c.dateTo = pickerDateText(dp2);
    c.invoiceFrom = toStdString(Edit3->text());
    c.invoiceTo = toStdString(Edit4->text());
    c.customerCode = toStdString(Edit5->text());
    c.salesmanCode = toStdString(Edit6->text());
    c.itemCode = toStdString(Edit7->text());
    c.quantityFrom = toStdString(Edit8->text());
    c.quantityTo = toStdString(Edit9->text());
    c.moneyFrom = toStdString(Edit10->text());
    c.moneyTo = toStdString(Edit11->text());
    c.approval = static_cast<ApprovalState>(std::max(0, ComboBox2->currentIndex()));
    return c;
}

void TFrmxsdquery::BitBtn1Click() {
    std::string where;
    ListCriteria typed = criteria();
    try {
        where = listCriteriaText(typed);
    } catch (const InvalidBoundError& bad) {
        MessageService::messageBox(toQString(bad.what()), QStringLiteral("Velmora系统"),
                                   MB_OK | MB_ICONINFORMATION);
        if (auto* box = findChild<QLineEdit*>(toQString(bad.box()))) {
            box->setFocus();
            box->selectAll();
        }
        return;
    }

    openOrderList(session_, where, describeListCriteria(typed), this);
    clearCriteria();
    setModalResult(mrOk);
}

void TFrmxsdquery::clearCriteria() {
    for (QLineEdit* edit : {Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9, Edit10, Edit11}) edit->clear();
    ComboBox1->clear();
    ComboBox1->clearEditText();
    ComboBox2->setCurrentIndex(0);
}

}  // namespace velmora
