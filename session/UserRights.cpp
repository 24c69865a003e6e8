#include "session/UserRights.h"

#include <QStringList>

namespace velmora {

namespace {

struct Named {
    const char* name;
    UserRight right;
    const char* caption;
};

constexpr Named kNames[] = {
    {"approve", UserRight::Approve, "审核"},
    {"maintain_master_data", UserRight::MaintainMasterData, "维护基础资料"},
    {"delete_orders", UserRight::DeleteOrders, "删除单据"},
    {"manage_users", UserRight::ManageUsers, "用户管理"},
    {"view_reports", UserRight::ViewReports, "查看报表"},
    {"view_audit", UserRight::ViewAudit, "查看日志"},
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

UserRights UserRights::presetOf(const QString& role) {
    UserRights preset;
    preset.role_ = role;
    if (role == QLatin1String("admin")) return preset;
    preset.bits_ =
        static_cast<uint32_t>(UserRight::DeleteOrders) | static_cast<uint32_t>(UserRight::ViewReports);
    if (role == QLatin1String("approver"))
        preset.bits_ |=
            static_cast<uint32_t>(UserRight::Approve) | static_cast<uint32_t>(UserRight::ViewAudit);
    return preset;
}

UserRights UserRights::with(UserRight right, bool held) const {
    UserRights out = *this;
    if (held)
        out.bits_ |= static_cast<uint32_t>(right);
    else
        out.bits_ &= ~static_cast<uint32_t>(right);
    return out;
}

QString UserRights::names() const {
    QStringList out;
    for (const Named& n : kNames)
        if (has(n.right)) out << QLatin1String(n.name);
    return out.join(QLatin1Char(','));
}

QString UserRights::captions() const {
    QStringList out;
    for (const Named& n : kNames)
        if (has(n.right)) out << QString::fromUtf8(n.caption);
    return out.join(QStringLiteral("、"));
}

QString UserRights::caption(UserRight right) {
    for (const Named& n : kNames)
        if (n.right == right) return QString::fromUtf8(n.caption);
    return {};
}

QString UserRights::roleCaption(const QString& role) {
    if (role == QLatin1String("admin")) return QStringLiteral("系统管理员");
    if (role == QLatin1String("approver")) return QStringLiteral("审核员");
    if (role == QLatin1String("operator")) return QStringLiteral("操作员");
    return role;
}

}  // namespace velmora
