#include "widgets/VelmoraStyle.h"

#include <QStyleFactory>

namespace velmora {

VelmoraStyle::VelmoraStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int VelmoraStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

}  // namespace velmora
