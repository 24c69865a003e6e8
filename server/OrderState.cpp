#include "server/OrderState.h"

namespace velmora::server {

std::optional<OrderState> lockedOrderState(DbConnection& db, const std::string& number) {
    std::string sql = "select username, ischeck, shrname from xsdtb where xsdid = ?";
    if (db.dialect() == Dialect::Postgres) sql += " for update";
    auto q = db.query(sql, {DbValue::ofText(number)});
    if (!q->next()) return std::nullopt;
    OrderState state;
    if (q->type(0) != DbType::Null) state.maker = std::string(q->text(0));
    state.approved = q->type(1) != DbType::Null && q->integer(1) != 0;
    if (q->type(2) != DbType::Null) state.approver = std::string(q->text(2));
    return state;
}

}  // namespace velmora::server
