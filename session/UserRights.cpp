#include "session/UserRights.h"

#include <QStringList>

namespace velmora {

namespace {

struct Named {
    const char* name;
    UserRight right;
};

constexpr Named kNames[] = {
    {"approve", UserRight::Approve},
    {"maintain_master_data", UserRight::MaintainMasterData},
    {"delete_orders", UserRight::DeleteOrders},
    {"manage_users", UserRight::ManageUsers},
    {"view_reports", UserRight::ViewReports},
};

}  // namespace

UserRights UserRights::fromServer(const QString& role, const QString& rights) {
    UserRights result;
    result.role_ = role;
    result.bits_ = 0;
    for (const QString& name : rights.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = name.trimmed();
        for (const Named& n : kNames)
            if (trimmed == QLatin1String(n.name)) result.bits_ |= static_cast<uint32_t>(n.right);
    }
    return result;
}

}  // namespace velmora
