#pragma once
// The pictures of the maintenance windows' buttons, drawn in code.

#include <QIcon>

namespace velmora {

enum class MaintenancePicture { Insert, Edit, Delete, Cancel, Save, Refresh, Exit };

QIcon maintenanceIcon(MaintenancePicture picture);

}  // namespace velmora
