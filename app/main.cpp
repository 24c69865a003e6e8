// velmora: the desktop client of the sales management system.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/LoginValues.h"
#include "app/Pictures.h"
#include "app/ProgramEntry.h"
#include "app/ServerTrust.h"
#include "transport/SocketConnection.h"
#include "widgets/AppSetup.h"
#include "widgets/ErrorGuard.h"

namespace {

// "velmora --forget-server HOST[:PORT]": the way back after a server's certificate was changed
// on purpose, or its encryption turned off; the next connection asks anew.
int forgetServer(const char* text) {
    std::optional<velmora::ServerAddress> target = velmora::parseServerAddress(text);
    if (!target || target->address.empty()) {
        std::fprintf(stderr, "velmora: '%s' is not HOST or HOST:PORT\n", text);
        return 2;
    }
    const QString server = velmora::ServerTrust::serverKey(
        target->address, target->port.value_or(velmora::SocketConnection::kDefaultPort));
    velmora::ServerTrust trust;
    if (!trust.forget(server)) {
        std::printf("%s\n",
                    QStringLiteral("本机没有记住服务器 %1 的证书。").arg(server).toUtf8().constData());
        return 1;
    }
    std::printf("%s\n", QStringLiteral("已忘记服务器 %1 的证书，下次连接时将重新询问是否信任。")
                            .arg(server)
                            .toUtf8()
                            .constData());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--forget-server") == 0) return forgetServer(argv[2]);

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
