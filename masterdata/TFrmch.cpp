#include "TFrmch.h"

#include "Fonts.h"

namespace velmora {

TFrmch::TFrmch(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmch"));
    setCaption(QStringLiteral("存货档案设置"));
    setFont(songFont(12));
}

}  // namespace velmora
