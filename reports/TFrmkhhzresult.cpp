#include "TFrmkhhzresult.h"

#include "Colors.h"
#include "Fonts.h"

namespace velmora {

TFrmkhhzresult::TFrmkhhzresult(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmkhhzresult"));
    setCaption(QStringLiteral("客户业务汇总查询结果"));
    setFont(songFont(12));
    setControlColor(this, clBtnFace());
    setFrameSize(544, 386);
}

}  // namespace velmora
