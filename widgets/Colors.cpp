#include "widgets/Colors.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QWidget>

namespace velmora {

QColor colorFromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QColor clInfoBk() {
    return QApplication::palette().color(QPalette::Active, QPalette::ToolTipBase);
}
QColor clWindow() {
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}
QColor clBtnFace() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}
QColor clWindowText() {
    return QApplication::palette().color(QPalette::Active, QPalette::WindowText);
}
QColor clMoneyGreen() {
    return QColor(192, 220, 192);
}

namespace {

// Edit boxes, lists and grids paint their field in Base; everything else fills with Window.
bool paintsBase(const QWidget* control) {
    return qobject_cast<const QLineEdit*>(control) || qobject_cast<const QComboBox*>(control) ||
           qobject_cast<const QAbstractSpinBox*>(control) ||
           qobject_cast<const QAbstractScrollArea*>(control);
}

}  // namespace

QColor controlColor(const QWidget* control) {
    QPalette::ColorRole role = paintsBase(control) ? QPalette::Base : QPalette::Window;
    return control->palette().color(QPalette::Active, role);
}

void setControlColor(QWidget* control, const QColor& color) {
    QPalette palette = control->palette();
    if (paintsBase(control)) {
        palette.setColor(QPalette::All, QPalette::Base, color);
        if (qobject_cast<QComboBox*>(control)) palette.setColor(QPalette::All, QPalette::Button, color);
    } else {
        palette.setColor(QPalette::All, QPalette::Window, color);
        control->setAutoFillBackground(true);
    }
    control->setPalette(palette);
    // A combo box paints its edit part with the palette of the line edit inside it.
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit()) {
        QPalette inner = combo->lineEdit()->palette();
        inner.setColor(QPalette::All, QPalette::Base, color);
        combo->lineEdit()->setPalette(inner);
    }
}

void toggleEditColor(QWidget* control) {
    setControlColor(control, controlColor(control) == clInfoBk() ? clWindow() : clInfoBk());
}

}  // namespace velmora
