#include "server/OrderApproval.h"

#include "server/ApplyGuard.h"
#include "server/OrderState.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

OrderState requireOrder(DbConnection& db, const Access& access, const std::string& number, const char* what) {
    if (!access.rights.has(Right::Approve))
        throw RightsRefused(formatText("没有权限：%s (approving orders is not among your rights)", what));
    std::optional<OrderState> order = lockedOrderState(db, number);
    if (!order) throw VelmoraError(formatText("单据 %s 不存在 (there is no such order)", number.c_str()));
    return *order;
}

// The approval flag and the approver, before and after.
AuditEntry approvalEntry(const char* action, const std::string& number, const std::string& approverBefore,
                         const std::string& approverAfter) {
    const bool approved = !approverAfter.empty();
    auto name = [](const std::string& n) { return n.empty() ? DbValue::null() : DbValue::ofText(n); };
    return {action, "xsdtb", number, "",
            std::string("{\"ischeck\":[") + (approved ? "false,true" : "true,false") + "],\"shrname\":[" +
                auditJson(name(approverBefore)) + "," + auditJson(name(approverAfter)) + "]}"};
}

}  // namespace

AuditEntry approveOrder(DbConnection& db, const Access& access, const std::string& number, bool allowOwn) {
    Transaction tx(db);
    OrderState order = requireOrder(db, access, number, "审核单据");
    if (order.approved) throw VelmoraError("此单据已审核 (the order is approved already)");
    if (!allowOwn && order.maker == access.user)
        throw RightsRefused("不能审核自己制作的单据 (the maker of an order may not approve it)");
    db.execute("update xsdtb set ischeck = ?, shrname = ? where xsdid = ?",
               {DbValue::ofInteger(1), DbValue::ofText(access.user), DbValue::ofText(number)});
    tx.commit();
    return approvalEntry("approve", number, order.approver, access.user);
}

AuditEntry withdrawApproval(DbConnection& db, const Access& access, const std::string& number) {
    Transaction tx(db);
    OrderState order = requireOrder(db, access, number, "弃审");
    if (!order.approved) throw VelmoraError("此单据尚未审核 (the order is not approved)");
    db.execute("update xsdtb set ischeck = ?, shrname = null where xsdid = ?",
               {DbValue::ofInteger(0), DbValue::ofText(number)});
    tx.commit();
    return approvalEntry("withdraw", number, order.approver, "");
}

}  // namespace velmora::server
