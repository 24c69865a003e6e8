#include "reports/SummaryQueryForm.h"

#include <QDateEdit>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <memory>

#include "data/ClientDataSet.h"
#include "reports/ReportControls.h"
#include "reports/SummaryResultForm.h"
#include "reports/SummaryStatement.h"
#include "session/ClientSession.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Text.h"

namespace velmora {

SummaryQueryForm::SummaryQueryForm(ClientSession& session, const Texts& texts) : session_(session) {
    setCaption(texts.caption);
    setClientSize(454, 307);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Label3 = addLabel(this, "Label3", 128, 32, texts.heading);
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
    Label2 = addLabel(this, "Label2", 112, 152, texts.codeCaption);
    Edit1 = addEdit(this, "Edit1", 192, 144, 121);
    Edit1->installEventFilter(this);
    Label4 = addLabel(this, "Label4", 40, 200, texts.hint);
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

void SummaryQueryForm::FormShow() {
    Edit1->clear();
}

bool SummaryQueryForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::MouseButtonDblClick) {
        guarded([this] { Edit1DblClick(); });
        return true;
    }
    return DialogForm::eventFilter(watched, event);
}

void SummaryQueryForm::Edit1DblClick() {
    if (std::optional<QString> code = pickCode()) Edit1->setText(*code);
}

SummaryCriteria SummaryQueryForm::criteria() const {
    SummaryCriteria c;
    c.dateFrom = pickerDateText(dp1);
    c.dateTo = pickerDateText(dp2);
    c.code = toStdString(Edit1->text());
    return c;
}

void SummaryQueryForm::BitBtn1Click() {
    SummaryCriteria typed = criteria();
    // Rows of the result window's own, fetched before the window opens, so a failure opens none.
    auto rows = std::make_unique<ClientDataSet>("ClientDataSethz");
    rows->setRemoteServer(session_.providerSource());
    rows->setProviderName("DataSetProviderhz");
    rows->setCommandText(summaryStatement(shape(), typed));
    rows->Open();

    SummaryResultForm* result = resultWindow();
    result->ShowRows(std::move(rows));
    result->setCriteria(describeSummaryCriteria(typed, toStdString(Label2->text())));
    setModalResult(mrOk);
}

}  // namespace velmora
