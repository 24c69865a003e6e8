#include "reports/TFrmkhhzquery.h"

#include <QDateEdit>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "data/ClientDataSet.h"
#include "reports/ReportControls.h"
#include "reports/SummaryStatement.h"
#include "reports/TFrmkhhzresult.h"
#include "sales/TFrmkhquery.h"
#include "session/ClientSession.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Text.h"

namespace velmora {

TFrmkhhzquery::TFrmkhhzquery(ClientSession& session) : session_(session) {
    setObjectName(QStringLiteral("Frmkhhzquery"));
    setCaption(QStringLiteral("客户销售量汇总查询"));
    setClientSize(454, 307);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Label3 = addLabel(this, "Label3", 128, 32, QStringLiteral("客户销售量汇总查询条件选择"));
    Label3->setFont(songFont(16));
    Label3->adjustSize();
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(32, 72, 385, 121);

    Label1 = addLabel(this, "Label1", 72, 104, QStringLiteral("业务日期："));
    dp1 = addDatePicker(this, "dp1", 144, 96, 97, initialReportDate());
    Label9 = addLabel(this, "Label9", 232, 101, QStringLiteral("-------"));
    dp2 = addDatePicker(this, "dp2", 272, 98, 97, initialReportDate());
    // The dash lies under the first picker's right edge; the pickers stay on top of it.
    Label9->lower();
    Label2 = addLabel(this, "Label2", 112, 152, QStringLiteral("客户编号："));
    Edit1 = addEdit(this, "Edit1", 192, 144, 121);
    Edit1->installEventFilter(this);
    Label4 =
        addLabel(this, "Label4", 40, 200, QStringLiteral("只要双击客户编号输入框，即可弹出代码参照界面。"));
    Label1->setBuddy(dp1);
    Label2->setBuddy(Edit1);
    dp2->setAccessibleName(QStringLiteral("业务日期止"));

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 80, 227, mrNone);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        // A failure of the server still ends the dialog, without a result window.
        if (!guarded([this] { BitBtn1Click(); })) setModalResult(mrOk);
    });
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 277, 227, mrCancel);
    BitBtn2->setAutoDefault(false);
}

void TFrmkhhzquery::FormShow() {
    Edit1->clear();
}

bool TFrmkhhzquery::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::MouseButtonDblClick) {
        guarded([this] { Edit1DblClick(); });
        return true;
    }
    return DialogForm::eventFilter(watched, event);
}

void TFrmkhhzquery::Edit1DblClick() {
    // A picker of its own for each use, freed whatever it ends with.
    auto picker = std::make_unique<TFrmkhquery>(this, session_);
    if (picker->ShowModal() == mrOk) Edit1->setText(session_.PickedCustomerCode);
}

void TFrmkhhzquery::BitBtn1Click() {
    SummaryCriteria criteria;
    criteria.dateFrom = pickerDateText(dp1);
    criteria.dateTo = pickerDateText(dp2);
    criteria.customerCode = toStdString(Edit1->text());

    // Rows of the result window's own, fetched before the window opens, so a failure opens none.
    auto rows = std::make_unique<ClientDataSet>("ClientDataSethz");
    rows->setRemoteServer(session_.providerSource());
    rows->setProviderName("DataSetProviderhz");
    rows->setCommandText(summaryStatement(criteria));
    rows->Open();

    session_.ShowOrCreateForm(Frmkhhzresult, this)->ShowRows(std::move(rows));
    setModalResult(mrOk);
}

}  // namespace velmora
