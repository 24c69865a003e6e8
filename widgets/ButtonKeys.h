#pragma once
// The keys of the windows' tool buttons: every button of a button bar or record navigator is
// pressed by a key of its own, the same key for the same act in every window, and says so in
// its tooltip.

#include <QKeySequence>
#include <QString>

class QAbstractButton;
class QWidget;

namespace velmora {

// The key of the button of this object name ("n_save": Ctrl+S, "Next": Ctrl+PgDown), or an
// empty sequence for a name the table does not know.
QKeySequence buttonKey(const QString& objectName);

// Gives button the key of its name and shows the key in its tooltip; a button already holding a
// key, or of a name without one, is left as it is. The key acts only while the button is
// enabled and its window (its sub-window, in the client area) has the focus.
void giveButtonKey(QAbstractButton* button);
// giveButtonKey for every button inside window.
void giveButtonKeys(QWidget* window);

// The tooltip of a button with a key: "保存 (Ctrl+S)".
QString keyTip(const QString& caption, const QKeySequence& key);

}  // namespace velmora
