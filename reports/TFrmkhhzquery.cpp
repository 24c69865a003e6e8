#include "TFrmkhhzquery.h"

#include "Colors.h"
#include "Fonts.h"

namespace velmora {

TFrmkhhzquery::TFrmkhhzquery() {
    setObjectName(QStringLiteral("Frmkhhzquery"));
    setCaption(QStringLiteral("客户销售量汇总查询"));
    setClientSize(454, 307);
    setBackground(clBtnFace());
    setFont(songFont(12));

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 80, 227, mrOk);
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 277, 227, mrCancel);
}

}  // namespace velmora
