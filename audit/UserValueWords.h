#pragma once
// The words the windows use for the values of user management rows: roles and rights by their
// captions (系统管理员, 审核、查看报表, ...), as the user management window shows them.

#include "audit/ChangeText.h"

namespace velmora {

ValueNamer userValueWords();

}  // namespace velmora
