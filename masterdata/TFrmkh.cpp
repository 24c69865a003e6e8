#include "TFrmkh.h"

#include "Fonts.h"

namespace velmora {

TFrmkh::TFrmkh(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmkh"));
    setCaption(QStringLiteral("客户档案"));
    setFont(songFont(12));
}

}  // namespace velmora
