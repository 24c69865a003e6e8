#pragma once

class QWidget;

namespace velmora {

// A list that takes no input but is there to be read: its text keeps the enabled colour while
// the control is disabled.
void keepTextReadableWhenDisabled(QWidget* control);

}  // namespace velmora
