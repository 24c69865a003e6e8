#include "sales/TFrmywyquery.h"

#include <QListWidget>

#include "data/Tdm.h"
#include "sales/PickerLine.h"
#include "sales/PickerList.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Text.h"

namespace velmora {

TFrmywyquery::TFrmywyquery(Tdm& dataModule) : dm(dataModule) {
    setObjectName(QStringLiteral("Frmywyquery"));
    setCaption(QStringLiteral("业务员代码查询"));
    setClientSize(536, 348);
    setBackground(clBtnFace());
    setFont(songFont(12));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(88, 40, 369, 201);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setAccessibleName(QStringLiteral("业务员列表"));
    onListDoubleClick(*ListBox1, [this] { ListBox1DblClick(); });

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 150, 272, mrNone);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, guardedSlot([this] { BitBtn1Click(); }));
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 310, 272, mrCancel);
}

void TFrmywyquery::FormShow() {
    chosenCode_.reset();
    ListBox1->clear();
    ClientDataSet& ywy = dm.ClientDataSetywy;
    ywy.Close();
    ywy.setCommandText("");
    ywy.setCommandText("select * from ywy");
    ywy.Open();
    // The dataset stays open with every salesman.
    fillPickerList(*ListBox1, ywy, "ywyid", "ywyname");
}

void TFrmywyquery::ListBox1DblClick() {
    choose();
}

void TFrmywyquery::BitBtn1Click() {
    choose();
}

void TFrmywyquery::choose() {
    // Without a selected line the dialog stays open with nothing written.
    std::optional<QString> line = selectedListLine(*ListBox1, QStringLiteral("业务员"));
    if (!line) return;
    chosenCode_ = toQString(codeOfPickerLine(toStdString(*line)));
    setModalResult(mrOk);
}

}  // namespace velmora
