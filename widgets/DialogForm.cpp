#include "widgets/DialogForm.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FormRegistry.h"

namespace velmora {

DialogForm::DialogForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    FormRegistry::add(this);
}

DialogForm::~DialogForm() {
    FormRegistry::remove(this);
}

void DialogForm::setClientSize(int width, int height) {
    setFixedSize(width, height);
}

void DialogForm::setBackground(const QColor& color) {
    setControlColor(this, color);
}

BitBtn* DialogForm::addStandardButton(BitBtn::Kind kind, const char* name, int left, int top, int result) {
    auto* button = new BitBtn(kind, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, 75, 25);
    if (result != mrNone) connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    return button;
}

int DialogForm::ShowModal() {
    return exec();
}

void DialogForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        centreOnScreen();
        guarded([this] { FormShow(); });
    }
    QDialog::showEvent(event);
}

void DialogForm::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

}  // namespace velmora
