#pragma once
// What assistive technology is told about the controls Qt's own accessibility describes too
// thinly: a label that shows a value (a total) under a name of its own, a label that acts when
// clicked, and a status bar's message.

class QLabel;
class QStatusBar;
class QString;

namespace velmora {

// Installs the descriptions below; call once, before the first window is shown (again is harmless).
void installAccessibility();

// The label shows a value: it is told as name, the caption it stands for and the value
// ("金额合计 48488.70"), and as value (its text alone).
void describeAsValue(QLabel* label, const QString& name);

// The label acts when clicked: it offers the press action, which calls the label's invokable
// click() (it must have one).
void describeAsClickable(QLabel* label);

// The status bar tells its current message as its value, and announces each new one.
void describeStatusBar(QStatusBar* bar, const QString& name);

}  // namespace velmora
