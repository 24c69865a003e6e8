#pragma once
// Audit rows as the windows show them: local time, Chinese action and table names, the changes as
// readable lines. Read from a dataset opened on the packet a server member answered with.

#include <string>
#include <string_view>
#include <vector>

#include "audit/ChangeText.h"
#include "transport/Bytes.h"

namespace velmora {

class ClientDataSet;

// The most rows the server returns for one audit query (the newest).
constexpr size_t kAuditQueryCap = 100000;

struct ReadableAuditRow {
    std::string time;  // local, yyyy-MM-dd hh:mm:ss
    std::string user, peer, computer;
    std::string action;  // 新增, 修改, 登录, ...
    std::string object;  // 客户档案, 发票明细, ...; empty for a login
    std::string key;     // the record's key; an order line's as "XS000001 行号17"
    std::vector<std::string> content;
    // As stored.
    std::string at, actionName, table, recordKey, parentKey, changes;
};

// Every row of rows (a dataset opened on an audit packet), in its order: newest first.
std::vector<ReadableAuditRow> readableAuditRows(ClientDataSet& rows, const ValueNamer& namer = {});

// The rows as a data packet for a grid, its printout and export: at (the local time), username,
// peer, computer, action, object, recordkey, content (the lines joined by separator).
Bytes readableAuditPacket(const std::vector<ReadableAuditRow>& rows, std::string_view separator);

}  // namespace velmora
