// velmora-icons: writes the program's icon as the PNG files the client package installs,
// DIR/NxN/apps/velmora.png for every size of the icon theme's usual set. Runs at build time.

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "app/Pictures.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: velmora-icons DIR\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int size : velmora::kProgramIconSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QStringLiteral("/velmora.png");
        if (!QDir().mkpath(folder) || !velmora::programIconPixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "velmora-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
