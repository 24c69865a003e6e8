#pragma once

#include <QToolButton>
#include <array>

#include "widgets/ErrorGuard.h"
#include "widgets/Panel.h"

namespace velmora {

// The button bar across the top of every maintenance window: flat buttons, left to right 增加, 修改,
// 册除, 放弃, 保存, 刷新, 历史, 退出.
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
    QToolButton* n_history;  // 历史 of the record shown
    QToolButton* n_exit;

    // Browse state: adding, changing, deleting, refreshing and leaving are offered; discarding
    // and saving are not. Edit state is the opposite.
    void setBrowseState();
    // Edit state: 放弃 is offered exactly while a row is being entered or changed.
    bool editing() const { return n_cancel->isEnabled(); }
    // Inverts the enabled state of every button, as the windows' state switch does.
    void toggleEnabled();
    // For a user who may not change master data: 增加, 修改, 册除 and 保存 stay disabled in every
    // state from now on (the server refuses such changes anyway).
    void setBrowseOnly(bool browseOnly);
    // The buttons the edit state switches (all but 历史).
    std::array<QToolButton*, 7> buttons() const;

    // 历史 is offered in browse state with a record shown, to a user who may read the audit
    // trail (the server refuses everyone else).
    void setHistoryAllowed(bool allowed);
    void setRecordShown(bool shown);

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
        wire(n_history, &Form::n_historyClick);
        wire(n_exit, &Form::n_exitClick);
    }

  private:
    void keepChangesOff();
    void updateHistory();
    bool browseOnly_ = false;
    bool historyAllowed_ = false;
    bool recordShown_ = false;
};

}  // namespace velmora
