#pragma once

#include <QToolButton>
#include <array>

#include "widgets/ErrorGuard.h"
#include "widgets/Panel.h"

namespace velmora {

// The button bar across the top of every maintenance window: seven flat buttons, left to right
// 增加, 修改, 册除, 放弃, 保存, 刷新, 退出.
class MaintenanceBar : public Panel {
    Q_OBJECT

  public:
    explicit MaintenanceBar(QWidget* parent);

    QToolButton* n_insert;
    QToolButton* n_edit;
    QToolButton* n_delete;
    QToolButton* n_cancel;
    QToolButton* n_save;
    QToolButton* n_refresh;
    QToolButton* n_exit;

    // Browse state: adding, changing, deleting, refreshing and leaving are offered; discarding
    // and saving are not. Edit state is the opposite.
    void setBrowseState();
    // Inverts the enabled state of every button, as the windows' state switch does.
    void toggleEnabled();
    // For a user who may not change master data: 增加, 修改, 册除 and 保存 stay disabled in every
    // state from now on (the server refuses such changes anyway).
    void setBrowseOnly(bool browseOnly);
    std::array<QToolButton*, 7> buttons() const;

    // Connects each button to the form's handler of the same name (n_insertClick, ...), through
    // the error guard, so that what a handler throws ends only that action.
    template <typename Form>
    void connectHandlers(Form* form) {
        auto wire = [form](QToolButton* button, void (Form::*handler)()) {
            QObject::connect(button, &QToolButton::clicked, form,
                             guardedSlot([form, handler] { (form->*handler)(); }));
        };
        wire(n_insert, &Form::n_insertClick);
        wire(n_edit, &Form::n_editClick);
        wire(n_delete, &Form::n_deleteClick);
        wire(n_cancel, &Form::n_cancelClick);
        wire(n_save, &Form::n_saveClick);
        wire(n_refresh, &Form::n_refreshClick);
        wire(n_exit, &Form::n_exitClick);
    }

  private:
    void keepChangesOff();
    bool browseOnly_ = false;
};

}  // namespace velmora
