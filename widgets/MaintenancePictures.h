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
    DeleteLine
};

QIcon maintenanceIcon(MaintenancePicture picture);

}  // namespace velmora
