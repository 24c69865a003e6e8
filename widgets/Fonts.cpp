#include "widgets/Fonts.h"

#include <QStringList>

namespace velmora {

void installFontSubstitutions() {
    // AR PL UMing carries hand-tuned bitmaps at the small sizes the windows use, as a Song
    // typeface of a desktop system does; Noto stands in where it is missing.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("隶书"),
                               {QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("AR PL UMing CN")});
}

QFont fontOf(const QString& family, int pixelSize) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    return font;
}

QFont songFont(int pixelSize) {
    return fontOf(QStringLiteral("宋体"), pixelSize);
}

}  // namespace velmora
