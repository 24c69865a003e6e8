#include "widgets/AppSetup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "widgets/Fonts.h"
#include "widgets/VelmoraStyle.h"

namespace velmora {

bool setupApplication(QApplication& app) {
    QApplication::setStyle(new VelmoraStyle);
    installFontSubstitutions();
    QApplication::setFont(songFont(12));
    // The program ends only through its own quit function, never because a window closed.
    QApplication::setQuitOnLastWindowClosed(false);

    auto* translator = new QTranslator(&app);
    bool loaded =
        translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded)
        QApplication::installTranslator(translator);
    else
        delete translator;
    return loaded;
}

}  // namespace velmora
