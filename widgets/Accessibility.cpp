#include "widgets/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QStatusBar>

namespace velmora {

namespace {

// The kind of description a widget asked for, kept as a property so the factory finds it.
const char* const kKind = "velmoraAccessibleKind";
const char* const kName = "velmoraAccessibleName";

enum class Kind { Value = 1, Clickable, StatusBar };

Kind kindOf(const QObject* object) {
    return static_cast<Kind>(object->property(kKind).toInt());
}

class ValueLabel : public QAccessibleWidget {
  public:
    explicit ValueLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        // The value goes into the name as well: the platform's bridge (AT-SPI) publishes no
        // value for a static text, and a screen reader reads the name.
        if (t == QAccessible::Name) {
            const QString value = static_cast<QLabel*>(widget())->text();
            const QString name = widget()->property(kName).toString();
            return value.isEmpty() ? name : name + QLatin1Char(' ') + value;
        }
        if (t == QAccessible::Value) return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

class ClickableLabel : public QAccessibleWidget {
  public:
    explicit ClickableLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return static_cast<QLabel*>(widget())->text().trimmed();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& actionName) override {
        if (actionName == pressAction()) QMetaObject::invokeMethod(widget(), "click", Qt::DirectConnection);
    }
};

class StatusBarText : public QAccessibleWidget {
  public:
    explicit StatusBarText(QStatusBar* bar) : QAccessibleWidget(bar, QAccessible::StatusBar) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return widget()->property(kName).toString();
        if (t == QAccessible::Value) return static_cast<QStatusBar*>(widget())->currentMessage();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* describe(const QString& /*className*/, QObject* object) {
    switch (kindOf(object)) {
        case Kind::Value:
            if (auto* label = qobject_cast<QLabel*>(object)) return new ValueLabel(label);
            break;
        case Kind::Clickable:
            if (auto* label = qobject_cast<QLabel*>(object)) return new ClickableLabel(label);
            break;
        case Kind::StatusBar:
            if (auto* bar = qobject_cast<QStatusBar*>(object)) return new StatusBarText(bar);
            break;
    }
    return nullptr;
}

void mark(QObject* object, Kind kind, const QString& name = QString()) {
    installAccessibility();
    object->setProperty(kKind, static_cast<int>(kind));
    if (!name.isEmpty()) object->setProperty(kName, name);
}

}  // namespace

void installAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // Installed after Qt's own factory, so asked first.
    QAccessible::installFactory(describe);
}

void describeAsValue(QLabel* label, const QString& name) {
    // No accessible name of the widget's own: without one, the label announces each new text as a
    // change of its name, which is what the name above is made of.
    mark(label, Kind::Value, name);
}

void describeAsClickable(QLabel* label) {
    mark(label, Kind::Clickable);
}

void describeStatusBar(QStatusBar* bar, const QString& name) {
    mark(bar, Kind::StatusBar, name);
    bar->setAccessibleName(name);
    QObject::connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
        QAccessibleValueChangeEvent event(bar, message);
        QAccessible::updateAccessibility(&event);
    });
}

}  // namespace velmora
