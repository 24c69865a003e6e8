#pragma once

#include <optional>
#include <string>

#include "server/Database.h"

namespace velmora::server {

// An order header as the rights see it: who made it and whether it is approved.
struct OrderState {
    std::string maker;  // username, 制单人
    bool approved = false;
    std::string approver;  // shrname, 审核人; empty when none
};

// Reads order number's state inside the caller's write transaction and keeps it from changing
// until that transaction ends (PostgreSQL locks the row; SQLite's write transaction holds the
// whole database already). Nothing when there is no such order.
std::optional<OrderState> lockedOrderState(DbConnection& db, const std::string& number);

}  // namespace velmora::server
