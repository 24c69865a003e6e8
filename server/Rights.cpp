#include "server/Rights.h"

namespace velmora::server {

namespace {

constexpr Right kAllRights[] = {Right::Approve,     Right::MaintainMasterData, Right::DeleteOrders,
                                Right::ManageUsers, Right::ViewReports,        Right::ViewAudit};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

const char* roleName(Role role) {
    switch (role) {
        case Role::Administrator:
            return "admin";
        case Role::Approver:
            return "approver";
        case Role::Operator:
            break;
    }
    return "operator";
}

std::optional<Role> roleNamed(std::string_view name) {
    for (Role r : {Role::Administrator, Role::Approver, Role::Operator})
        if (name == roleName(r)) return r;
    return std::nullopt;
}

const char* rightName(Right r) {
    switch (r) {
        case Right::Approve:
            return "approve";
        case Right::MaintainMasterData:
            return "maintain_master_data";
        case Right::DeleteOrders:
            return "delete_orders";
        case Right::ManageUsers:
            return "manage_users";
        case Right::ViewReports:
            return "view_reports";
        case Right::ViewAudit:
            break;
    }
    return "view_audit";
}

Rights Rights::presetOf(Role role) {
    Rights operatorRights = Rights().with(Right::DeleteOrders).with(Right::ViewReports);
    switch (role) {
        case Role::Administrator: {
            Rights all;
            for (Right r : kAllRights) all = all.with(r);
            return all;
        }
        case Role::Approver:
            return operatorRights.with(Right::Approve).with(Right::ViewAudit);
        case Role::Operator:
            break;
    }
    return operatorRights;
}

std::optional<Rights> Rights::parse(std::string_view text) {
    Rights out;
    while (!trimmed(text).empty()) {
        size_t comma = text.find(',');
        std::string_view name = trimmed(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        bool known = false;
        for (Right r : kAllRights) {
            if (name == rightName(r)) {
                out = out.with(r);
                known = true;
            }
        }
        if (!known) return std::nullopt;
    }
    return out;
}

std::string Rights::text() const {
    std::string out;
    for (Right r : kAllRights) {
        if (!has(r)) continue;
        if (!out.empty()) out += ',';
        out += rightName(r);
    }
    return out;
}

}  // namespace velmora::server
