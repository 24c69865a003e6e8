#include "TFrmywy.h"

#include "Fonts.h"

namespace velmora {

TFrmywy::TFrmywy(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmywy"));
    setCaption(QStringLiteral("业务员档案"));
    setFont(songFont(12));
}

}  // namespace velmora
