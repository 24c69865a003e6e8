#include "app/TFrmflash.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "app/Pictures.h"
#include "widgets/FormRegistry.h"
#include "widgets/PictureBox.h"

namespace velmora {

TFrmflash::TFrmflash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Frmflash"));
    setWindowTitle(QStringLiteral("Frmflash"));
    FormRegistry::add(this);
    setFixedSize(425, 279);
    Image1 = new PictureBox(splashPicture(), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 425, 279);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(425 / 2, 279 / 2));
}

TFrmflash::~TFrmflash() {
    FormRegistry::remove(this);
}

void TFrmflash::showAndPaint() {
    show();
    // The window system maps the window asynchronously; what is painted before that is lost.
    // Wait a moment for it, handing out nothing but paint and window events.
    QDeadlineTimer deadline(1000);
    while (windowHandle() && !windowHandle()->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace velmora
