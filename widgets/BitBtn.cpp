#include "widgets/BitBtn.h"

#include <QCoreApplication>

#include "widgets/Glyphs.h"

namespace velmora {

QString BitBtn::standardCaption(Kind kind) {
    // The texts Qt's own dialogs use for their standard buttons, so they follow its translations.
    switch (kind) {
        case Kind::Ok:
            return QCoreApplication::translate("QPlatformTheme", "OK");
        case Kind::Cancel:
            return QCoreApplication::translate("QPlatformTheme", "Cancel");
        case Kind::Custom:
            break;
    }
    return QString();
}

BitBtn::BitBtn(Kind kind, QWidget* parent) : QPushButton(standardCaption(kind), parent), kind_(kind) {
    if (kind == Kind::Ok) setIcon(QIcon(checkGlyph()));
    if (kind == Kind::Cancel) setIcon(QIcon(crossGlyph()));
}

BitBtn::BitBtn(const QString& caption, const QPixmap& glyph, QWidget* parent)
    : QPushButton(caption, parent), kind_(Kind::Custom) {
    setIcon(QIcon(glyph));
}

}  // namespace velmora
