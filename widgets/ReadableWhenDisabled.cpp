#include "widgets/ReadableWhenDisabled.h"

#include <QWidget>

namespace velmora {

void keepTextReadableWhenDisabled(QWidget* control) {
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    control->setPalette(palette);
}

}  // namespace velmora
