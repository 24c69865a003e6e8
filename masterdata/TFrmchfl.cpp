#include "TFrmchfl.h"

#include "Fonts.h"

namespace velmora {

TFrmchfl::TFrmchfl(QWidget* owner) : MdiChildForm(owner) {
    setObjectName(QStringLiteral("Frmchfl"));
    setCaption(QStringLiteral("存货分类设置"));
    setFont(songFont(12));
}

}  // namespace velmora
