#include "TFrmxsdresult.h"

#include "Colors.h"
#include "Fonts.h"

namespace velmora {

TFrmxsdresult::TFrmxsdresult(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmxsdresult"));
    setCaption(QStringLiteral("销售单查询结果"));
    setFont(songFont(12));
    setControlColor(this, clBtnFace());
    setFrameSize(544, 375);
}

}  // namespace velmora
