#include "widgets/ButtonKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QHash>

namespace velmora {

namespace {

const QHash<QString, QKeySequence>& keys() {
    // By object name, which stays when a caption changes (停用 and 启用 are one button).
    static const QHash<QString, QKeySequence> table = {
        {QStringLiteral("n_insert"), QKeySequence(Qt::CTRL | Qt::Key_N)},
        {QStringLiteral("n_add"), QKeySequence(Qt::CTRL | Qt::Key_N)},
        {QStringLiteral("n_edit"), QKeySequence(Qt::CTRL | Qt::Key_E)},
        {QStringLiteral("n_change"), QKeySequence(Qt::CTRL | Qt::Key_E)},
        {QStringLiteral("n_delete"), QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {QStringLiteral("n_remove"), QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {QStringLiteral("n_cancel"), QKeySequence(Qt::Key_Escape)},
        {QStringLiteral("n_save"), QKeySequence(Qt::CTRL | Qt::Key_S)},
        {QStringLiteral("n_refresh"), QKeySequence(Qt::Key_F5)},
        {QStringLiteral("n_print"), QKeySequence(Qt::CTRL | Qt::Key_P)},
        {QStringLiteral("n_export"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {QStringLiteral("n_exit"), QKeySequence(Qt::CTRL | Qt::Key_W)},
        {QStringLiteral("n_insertone"), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {QStringLiteral("n_deleteone"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete)},
        {QStringLiteral("n_approve"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
        {QStringLiteral("n_withdraw"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
        {QStringLiteral("n_history"), QKeySequence(Qt::CTRL | Qt::Key_H)},
        {QStringLiteral("n_password"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)},
        {QStringLiteral("n_enable"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
        {QStringLiteral("n_backup"), QKeySequence(Qt::CTRL | Qt::Key_B)},
        // The record navigator.
        {QStringLiteral("First"), QKeySequence(Qt::CTRL | Qt::Key_Home)},
        {QStringLiteral("Prior"), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
        {QStringLiteral("Next"), QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
        {QStringLiteral("Last"), QKeySequence(Qt::CTRL | Qt::Key_End)},
    };
    return table;
}

// The caption a button's tooltip names: its text, or the tooltip it had (a navigator's buttons
// show pictures only).
const char* const kCaption = "velmoraKeyCaption";

QString captionOf(const QAbstractButton* button) {
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    return text.isEmpty() ? button->property(kCaption).toString() : text;
}

// Keeps a button's tooltip in step with its caption, which some buttons change (停用, 启用).
class KeyTipUpdater : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            auto* button = static_cast<QAbstractButton*>(watched);
            button->setToolTip(keyTip(captionOf(button), button->shortcut()));
        }
        return false;
    }
};

}  // namespace

QKeySequence buttonKey(const QString& objectName) {
    return keys().value(objectName);
}

QString keyTip(const QString& caption, const QKeySequence& key) {
    return caption + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

void giveButtonKey(QAbstractButton* button) {
    QKeySequence key = buttonKey(button->objectName());
    if (key.isEmpty() || !button->shortcut().isEmpty()) return;
    if (button->text().isEmpty()) button->setProperty(kCaption, button->toolTip());
    button->setShortcut(key);
    button->setToolTip(keyTip(captionOf(button), key));
    static KeyTipUpdater* updater = new KeyTipUpdater(qApp);
    button->installEventFilter(updater);
}

void giveButtonKeys(QWidget* window) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) giveButtonKey(button);
}

}  // namespace velmora
