#include "widgets/MdiChildForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

#include "widgets/ButtonKeys.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FormRegistry.h"

namespace velmora {

namespace {
QPointer<QMdiArea>& theArea() {
    static QPointer<QMdiArea> area;
    return area;
}
std::function<void()>& nextClearer() {
    static std::function<void()> clear;
    return clear;
}
}  // namespace

void MdiChildForm::setMdiArea(QMdiArea* area) {
    theArea() = area;
}
QMdiArea* MdiChildForm::mdiArea() {
    return theArea();
}
void MdiChildForm::setNextReferenceClearer(std::function<void()> clear) {
    nextClearer() = std::move(clear);
}

MdiChildForm::MdiChildForm(QWidget* owner) : owner_(owner), clearReference_(std::move(nextClearer())) {
    nextClearer() = nullptr;
    FormRegistry::add(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (QMdiArea* area = theArea()) {
        subWindow_ = area->addSubWindow(this);
        subWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
        subWindow_->hide();
        connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
            if (w && w == subWindow_) activated();
        });
    } else {
        setWindowFlag(Qt::Window);
    }
    // An owned window goes with its owner.
    if (owner)
        connect(owner, &QObject::destroyed, this, [this] {
            QWidget* f = frame();
            f->hide();
            f->deleteLater();
        });
}

MdiChildForm::~MdiChildForm() {
    FormRegistry::remove(this);
    if (clearReference_) clearReference_();
}

QWidget* MdiChildForm::frame() const {
    if (subWindow_) return subWindow_;
    return const_cast<MdiChildForm*>(this);
}

void MdiChildForm::setCaption(const QString& caption) {
    setWindowTitle(caption);
    if (subWindow_) subWindow_->setWindowTitle(caption);
}

void MdiChildForm::setFrameSize(int width, int height) {
    designSize_ = QSize(width, height);
    frame()->resize(width, height);
}

QSize MdiChildForm::sizeHint() const {
    if (designSize_.isValid()) return designSize_;
    return QWidget::sizeHint().expandedTo(QSize(544, 375));
}

void MdiChildForm::Show() {
    QWidget::show();
    frame()->show();
}

void MdiChildForm::Close() {
    frame()->close();
}

bool MdiChildForm::isMinimizedWindow() const {
    return frame()->isMinimized();
}
bool MdiChildForm::isMaximizedWindow() const {
    return frame()->isMaximized();
}
void MdiChildForm::Maximize() {
    frame()->showMaximized();
}
void MdiChildForm::ShowNormal() {
    frame()->showNormal();
}

void MdiChildForm::restoreOrShowWithoutActivating() {
    if (isMinimizedWindow()) {
        ShowNormal();
        return;
    }
    QWidget* f = frame();
    bool quiet = f->testAttribute(Qt::WA_ShowWithoutActivating);
    f->setAttribute(Qt::WA_ShowWithoutActivating, true);
    f->show();
    f->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}

void MdiChildForm::makeVisible() {
    if (!isVisible()) Show();
}

void MdiChildForm::bringToFrontAndFocus() {
    frame()->raise();
    if (subWindow_ && theArea())
        theArea()->setActiveSubWindow(subWindow_);
    else
        activateWindow();
    setFocus();
}

void MdiChildForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        nameUnnamedGrids();
        // Buttons a window made without a key (the result windows' own) get theirs.
        giveButtonKeys(this);
        yieldFrameKeys();
        guarded([this] { FormShow(); });
    }
}

void MdiChildForm::yieldFrameKeys() {
    // The frame's own menu closes the window by Ctrl+W too; two owners of one key would leave it
    // doing nothing, so the window's 退出 keeps it (and closes it the same way).
    if (!subWindow_ || !subWindow_->systemMenu()) return;
    QList<QKeySequence> taken;
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        if (!button->shortcut().isEmpty()) taken << button->shortcut();
    for (QAction* action : subWindow_->systemMenu()->actions()) {
        QList<QKeySequence> keys = action->shortcuts();
        if (keys.removeIf([&taken](const QKeySequence& k) { return taken.contains(k); }) > 0)
            action->setShortcuts(keys);
    }
}

void MdiChildForm::nameUnnamedGrids() {
    // A grid the window gave no name of its own is told by its window's caption, so that no two
    // open grids share a name.
    int n = 0;
    for (DBGrid* grid : findChildren<DBGrid*>())
        if (grid->accessibleName() == DBGrid::kDefaultAccessibleName)
            grid->setAccessibleName(Caption().trimmed() + QStringLiteral("表格") +
                                    (n++ > 0 ? QString::number(n) : QString()));
}

void MdiChildForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (!subWindow_ && event->type() == QEvent::ActivationChange && isActiveWindow()) activated();
}

void MdiChildForm::activated() {
    guarded([this] { FormActivate(); });
}

void MdiChildForm::closeEvent(QCloseEvent* event) {
    CloseAction action = CloseAction::Free;
    if (!guarded([&] { FormClose(action); })) action = CloseAction::None;
    switch (action) {
        case CloseAction::None:
            event->ignore();
            return;
        case CloseAction::Minimize:
            event->ignore();
            frame()->showMinimized();
            return;
        case CloseAction::Hide:
            event->accept();
            return;
        case CloseAction::Free:
            event->accept();
            FormRegistry::remove(this);
            frame()->deleteLater();
            return;
    }
}

}  // namespace velmora
