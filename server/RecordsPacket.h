#pragma once

#include <string>

#include "Bytes.h"
#include "Database.h"
#include "ProviderDefs.h"

namespace velmora::server {

// Runs sql for provider and encodes every row it returns, with the descriptors of its fields, as
// a data packet. rowCount receives the number of top-level rows.
Bytes buildRecordsPacket(DbConnection& db, const std::string& sql, const ProviderDef& provider, int32_t& rowCount);

}  // namespace velmora::server
