// velmora: the desktop client of the sales management system.
#include <QApplication>

#include "app/Pictures.h"
#include "app/ProgramEntry.h"
#include "widgets/AppSetup.h"
#include "widgets/ErrorGuard.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    velmora::setupApplication(app);
    QApplication::setWindowIcon(velmora::programIcon());
    // The desktop entry the package installs: a desktop shows its name and icon for the windows.
    QApplication::setDesktopFileName(QStringLiteral("velmora"));

    velmora::ProgramEntry entry;
    try {
        entry.createAll();
    } catch (...) {
        velmora::showCurrentException();
        return 1;
    }
    int code = entry.run(app);
    entry.destroyAll();
    return code;
}
