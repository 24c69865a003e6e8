#include "widgets/ReadableWhenDisabled.h"

#include <QWidget>

namespace velmora {

void keepTextReadableWhenDisabled(QWidget* control) {
    QPalette palette = control->palette();
    // The current row of a disabled grid too: its text would be pale on grey.
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText,
                                     QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    control->setPalette(palette);
}

}  // namespace velmora
