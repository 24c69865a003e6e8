#include "TFrmywyquery.h"

#include <QListWidget>

#include "Colors.h"
#include "Fonts.h"

namespace velmora {

TFrmywyquery::TFrmywyquery() {
    setObjectName(QStringLiteral("Frmywyquery"));
    setCaption(QStringLiteral("业务员代码查询"));
    setClientSize(536, 348);
    setBackground(clBtnFace());
    setFont(songFont(12));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(88, 40, 369, 201);
    ListBox1->setAccessibleName(QStringLiteral("业务员列表"));

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 150, 272, mrOk);
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 310, 272, mrCancel);
}

}  // namespace velmora
