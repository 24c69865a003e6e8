#include "TFrmxsdquery.h"

#include "Colors.h"
#include "Fonts.h"

namespace velmora {

TFrmxsdquery::TFrmxsdquery() {
    setObjectName(QStringLiteral("Frmxsdquery"));
    setCaption(QStringLiteral("销售发票明细查询"));
    setClientSize(619, 327);
    setBackground(clBtnFace());
    setFont(songFont(12));

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 136, 272, mrOk);
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 392, 272, mrCancel);
}

}  // namespace velmora
