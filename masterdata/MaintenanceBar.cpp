#include "masterdata/MaintenanceBar.h"

#include <QHBoxLayout>

#include "widgets/MaintenancePictures.h"

namespace velmora {

namespace {

QToolButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        MaintenancePicture picture) {
    QToolButton* button = pictureButton(parent, name, caption, picture);
    button->setMinimumWidth(64);
    return button;
}

}  // namespace

MaintenanceBar::MaintenanceBar(QWidget* parent) : Panel(parent, Bevel::Raised) {
    setObjectName(QStringLiteral("Panel1"));
    setFixedHeight(34);
    n_insert = makeButton(this, "n_insert", QStringLiteral("增加"), MaintenancePicture::Insert);
    n_edit = makeButton(this, "n_edit", QStringLiteral("修改"), MaintenancePicture::Edit);
    n_delete = makeButton(this, "n_delete", QStringLiteral("册除"), MaintenancePicture::Delete);
    n_cancel = makeButton(this, "n_cancel", QStringLiteral("放弃"), MaintenancePicture::Cancel);
    n_save = makeButton(this, "n_save", QStringLiteral("保存"), MaintenancePicture::Save);
    n_refresh = makeButton(this, "n_refresh", QStringLiteral("刷新"), MaintenancePicture::Refresh);
    n_history = makeButton(this, "n_history", QStringLiteral("历史"), MaintenancePicture::History);
    n_history->setEnabled(false);
    n_exit = makeButton(this, "n_exit", QStringLiteral("退出"), MaintenancePicture::Exit);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    for (QToolButton* b : {n_insert, n_edit, n_delete, n_cancel, n_save, n_refresh, n_history, n_exit})
        layout->addWidget(b);
    layout->addStretch(1);
}

std::array<QToolButton*, 7> MaintenanceBar::buttons() const {
    return {n_insert, n_edit, n_delete, n_cancel, n_save, n_refresh, n_exit};
}

void MaintenanceBar::setBrowseState() {
    for (QToolButton* b : buttons()) b->setEnabled(b != n_cancel && b != n_save);
    keepChangesOff();
}

void MaintenanceBar::toggleEnabled() {
    for (QToolButton* b : buttons()) b->setEnabled(!b->isEnabled());
    keepChangesOff();
}

void MaintenanceBar::setBrowseOnly(bool browseOnly) {
    browseOnly_ = browseOnly;
    keepChangesOff();
}

void MaintenanceBar::keepChangesOff() {
    updateHistory();
    if (!browseOnly_) return;
    for (QToolButton* b : {n_insert, n_edit, n_delete, n_save}) b->setEnabled(false);
}

void MaintenanceBar::setHistoryAllowed(bool allowed) {
    historyAllowed_ = allowed;
    updateHistory();
}

void MaintenanceBar::setRecordShown(bool shown) {
    recordShown_ = shown;
    updateHistory();
}

void MaintenanceBar::updateHistory() {
    // 放弃 is offered exactly in edit state, whatever the user may change.
    const bool browsing = !n_cancel->isEnabled();
    n_history->setEnabled(historyAllowed_ && recordShown_ && browsing);
}

}  // namespace velmora
