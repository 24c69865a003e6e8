#pragma once
// The colours the windows are specified in: numbers of the form 0x00BBGGRR, and the named
// system colours, which follow the application's palette.

#include <QColor>
#include <cstdint>

class QWidget;

namespace velmora {

// 10998526 (0xA7D2FE) is red 254, green 210, blue 167.
QColor colorFromBgr(uint32_t bgr);

QColor clInfoBk();      // the palette's tooltip base: fields on display only
QColor clWindow();      // the palette's base: editable fields
QColor clBtnFace();     // the palette's button colour
QColor clWindowText();  // the palette's window text
QColor clMoneyGreen();  // red 192, green 220, blue 192

// The background of a control: the base of an edit box, list or grid, the window colour of a
// panel or label. Set for every colour group, so a disabled control keeps it.
QColor controlColor(const QWidget* control);
void setControlColor(QWidget* control, const QColor& color);

// The switch the maintenance windows make between their two states: a control in clInfoBk
// becomes clWindow, a control in any other colour becomes clInfoBk.
void toggleEditColor(QWidget* control);

}  // namespace velmora
