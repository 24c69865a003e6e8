#pragma once
// How the audit trail's stored names read in the windows: actions, tables and fields in plain
// Chinese. Plain C++, so that the readable changes and their tests need no Qt.

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A stored name and what the windows call it.
struct AuditName {
    const char* name;
    const char* caption;
};

// Every action the server records, in the order the 操作日志 query offers them.
const std::vector<AuditName>& auditActions();
// The tables whose records the audit trail names, in the order the query offers them.
const std::vector<AuditName>& auditTables();

// 新增 for insert, 客户档案 for kh, 客户名称 for khname of kh, ...; a name the client does not
// know is shown as it is stored.
std::string actionCaption(std::string_view action);
std::string tableCaption(std::string_view table);
std::string fieldCaption(std::string_view table, std::string_view field);

}  // namespace velmora
