#pragma once
// The audit entries of an apply: what each record written was and became, by field name.

#include <string>
#include <vector>

#include "data/FieldDef.h"
#include "server/AuditTrail.h"
#include "server/Database.h"
#include "server/ProviderDefs.h"

namespace velmora::server {

// A row as stored values: every column of fields that columns names, with its value.
struct AuditedRow {
    const ProviderDef& def;
    const FieldDefs& fields;
    std::vector<size_t> columns;  // positions in fields
    std::vector<DbValue> values;  // one per column
};

// An insert or delete: every field. The key is the values of the provider's key columns (joined
// by "/"), the parent an order line's order number.
AuditEntry wholeRowEntry(const char* action, const AuditedRow& row);
// A modification: the changed fields, [old, new] each.
AuditEntry changedFieldsEntry(const ProviderDef& def, const FieldDefs& fields,
                              const std::vector<DbValue>& original, const std::vector<DbValue>& current);

// The lines of an order about to be deleted with it, each as a delete entry.
std::vector<AuditEntry> deletedLinesEntries(DbConnection& db, const std::string& orderNumber);

}  // namespace velmora::server
