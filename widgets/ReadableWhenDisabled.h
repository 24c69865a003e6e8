#pragma once

class QWidget;

namespace velmora {

// A control that takes no input but is there to be read (a data-aware edit box or grid in browse
// state): its text keeps the enabled colour while the control is disabled. The background tells
// the states apart (clInfoBk on display, clWindow for input).
void keepTextReadableWhenDisabled(QWidget* control);

}  // namespace velmora
