#include "sales/TFrmkhquery.h"

#include <QLabel>
#include <QListWidget>

#include "data/Tdm.h"
#include "sales/PickerLine.h"
#include "sales/PickerList.h"
#include "session/ClientSession.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

TFrmkhquery::TFrmkhquery(QWidget* owner, ClientSession& session) : DialogForm(owner), session_(session) {
    setObjectName(QStringLiteral("Frmkhquery"));
    setCaption(QStringLiteral("客户代码查询 "));
    setClientSize(536, 354);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Panel1 = new Panel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 536, 272);
    ListBox1 = new QListWidget(Panel1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(Panel1->contentsRect());
    ListBox1->setUniformItemSizes(true);
    ListBox1->setSortingEnabled(false);
    ListBox1->setAccessibleName(QStringLiteral("客户列表"));
    onListDoubleClick(*ListBox1, [this] { ListBox1DblClick(); });

    Panel2 = new Panel(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 272, 536, 82);
    Label1 = new QLabel(
        // The hint names the OK button as it reads (确定 with the Chinese translations).
        QStringLiteral("只要双击所需的客户行即可完成输入。或者先单击所需的客户行，再点击%1按钮也可以。")
            .arg(BitBtn::standardCaption(BitBtn::Kind::Ok)),
        Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 10, 504, 16);

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 120, 272 + 42, mrNone);
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 340, 272 + 42, mrNone);
    BitBtn1->raise();
    BitBtn2->raise();
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, guardedSlot([this] { BitBtn1Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, guardedSlot([this] { BitBtn2Click(); }));
}

void TFrmkhquery::FormShow() {
    ListBox1->clear();
    ClientDataSet& kh = session_.dm().ClientDataSetkh;
    kh.Close();
    kh.setCommandText("");
    kh.setCommandText("select * from kh");
    kh.Open();
    fillPickerList(*ListBox1, kh, "khid", "khname");
    kh.Close();
}

void TFrmkhquery::ListBox1DblClick() {
    choose();
}

void TFrmkhquery::BitBtn1Click() {
    choose();
}

void TFrmkhquery::BitBtn2Click() {
    setModalResult(mrCancel);
}

void TFrmkhquery::choose() {
    // Without a selected line the dialog stays open with nothing chosen.
    std::optional<QString> line = selectedListLine(*ListBox1, QStringLiteral("客户"));
    if (!line) return;
    session_.PickedCustomerCode = toQString(codeOfPickerLine(toStdString(*line)));
    setModalResult(mrOk);
}

}  // namespace velmora
