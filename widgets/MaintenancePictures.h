#pragma once
// The pictures of the maintenance windows' buttons, the invoicing window's among them, drawn in
// code.

#include <QIcon>

namespace velmora {

enum class MaintenancePicture {
    Insert,
    Edit,
    Delete,
    Cancel,
    Save,
    Refresh,
    Exit,
    Print,
    InsertLine,
    DeleteLine,
    Approve,   // 审核: a red seal with a tick
    Withdraw,  // 弃审: the seal greyed and struck through
};

QIcon maintenanceIcon(MaintenancePicture picture);

}  // namespace velmora
