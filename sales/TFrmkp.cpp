#include "TFrmkp.h"

#include "Colors.h"
#include "Fonts.h"

namespace velmora {

TFrmkp::TFrmkp(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmkp"));
    setCaption(QStringLiteral("销售开票"));
    setFont(songFont(12));
    setControlColor(this, colorFromBgr(15830937));
}

}  // namespace velmora
