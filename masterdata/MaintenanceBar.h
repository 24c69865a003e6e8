#pragma once

#include <QToolButton>
#include <array>

#include "Panel.h"

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
    std::array<QToolButton*, 7> buttons() const;
};

}  // namespace velmora
