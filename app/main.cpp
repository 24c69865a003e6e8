// velmora: the desktop client of the sales management system.
#include <QApplication>

#include "AppSetup.h"
#include "ErrorGuard.h"
#include "Pictures.h"
#include "ProgramEntry.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    velmora::setupApplication(app);
    QApplication::setWindowIcon(velmora::programIcon());

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
