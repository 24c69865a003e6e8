#include "widgets/HelpWindow.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/Fonts.h"

namespace velmora {

namespace {

QPointer<HelpWindow>& current() {
    static QPointer<HelpWindow> window;
    return window;
}

// F1 pressed anywhere: the manual at the section of the window that has the focus.
class HelpKeyFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
        // The key goes to the focus widget: the section is that of the window around it.
        HelpWindow::showSection(HelpWindow::sectionFor(static_cast<QWidget*>(watched)));
        return true;
    }
};

}  // namespace

const QSet<QString>& HelpWindow::sections() {
    static const QSet<QString> anchors = [] {
        QSet<QString> found;
        QFile file(QUrl(QString::fromLatin1(kManualUrl)).path().prepend(QLatin1Char(':')));
        if (!file.open(QIODevice::ReadOnly)) return found;
        QString html = QString::fromUtf8(file.readAll());
        static const QRegularExpression anchor(QStringLiteral("\\b(?:id|name)=\"([^\"]+)\""));
        for (auto it = anchor.globalMatch(html); it.hasNext();) found.insert(it.next().captured(1));
        return found;
    }();
    return anchors;
}

namespace {

// The section of the child window a sub-window frame holds, or "".
QString childSection(const QMdiSubWindow* frame) {
    const QWidget* child = frame ? frame->widget() : nullptr;
    return child && HelpWindow::sections().contains(child->objectName()) ? child->objectName() : QString();
}

// The section of the child window the main window's client area shows in front, or "".
QString frontChildSection(const QWidget* window) {
    for (const QMdiArea* area : window->findChildren<QMdiArea*>())
        if (area->window() == window) {
            // currentSubWindow, unlike activeSubWindow, stays while another window has the focus.
            if (QString section = childSection(area->currentSubWindow()); !section.isEmpty()) return section;
        }
    return QString();
}

}  // namespace

QString HelpWindow::sectionFor(const QWidget* widget) {
    // A modal dialog takes every key, whatever kept the focus behind it.
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != instance() && (!widget || (widget != modal && !modal->isAncestorOf(widget))))
        widget = modal;
    // The focus often rests on a child window's frame or on the main window's own controls (the
    // navigation panel, the client area): the child window in front is what the user works in.
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<const QMdiSubWindow*>(w)) {
            if (QString section = childSection(frame); !section.isEmpty()) return section;
        }
        if (w->isWindow()) {
            if (QString section = frontChildSection(w); !section.isEmpty()) return section;
        }
        if (sections().contains(w->objectName())) return w->objectName();
    }
    return QString();
}

void HelpWindow::installHelpKey() {
    static HelpKeyFilter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new HelpKeyFilter(qApp);
    qApp->installEventFilter(filter);
}

HelpWindow* HelpWindow::instance() {
    return current();
}

void HelpWindow::destroyInstance() {
    delete current().data();
}

HelpWindow::HelpWindow() {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("帮助"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("TextBrowser1"));
    browser_->setOpenExternalLinks(true);
    browser_->setFont(songFont(14));
    layout->addWidget(browser_);
    resize(820, 640);
}

HelpWindow* HelpWindow::showSection(const QString& section) {
    QWidget* modal = QApplication::activeModalWidget();
    HelpWindow* window = current();
    if (!window) {
        window = new HelpWindow;
        current() = window;
    }
    // A window outside the modal dialog could not be used while it is up.
    QWidget* owner = modal && modal != window ? modal : nullptr;
    if (window->parentWidget() != owner) {
        QRect placed = window->geometry();
        window->setParent(owner, Qt::Window);
        window->setGeometry(placed);
    }
    window->open(section);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void HelpWindow::open(const QString& section) {
    section_ = sections().contains(section) ? section : QString();
    QUrl url(QString::fromLatin1(kManualUrl));
    if (!section_.isEmpty()) url.setFragment(section_);
    browser_->setSource(url);
    if (!section_.isEmpty()) browser_->scrollToAnchor(section_);
}

}  // namespace velmora
