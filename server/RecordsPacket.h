#pragma once

#include <string>

#include "data/FieldDef.h"
#include "server/Database.h"
#include "server/ProviderDefs.h"
#include "transport/Bytes.h"

namespace velmora::server {

// A result that grew past the size a client may be sent.
class ResultTooLarge : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// Encodes every row of rows, with the descriptors of its fields, as provider's data packet (db
// reads the nested order lines). rowCount receives the number of top-level rows. A packet that
// would pass maxBytes (0: no limit) fails with ResultTooLarge.
Bytes buildRecordsPacket(DbConnection& db, DbQuery& rows, const ProviderDef& provider, int32_t& rowCount,
                         size_t maxBytes = 0);

// The descriptor of a text column as the user store's columns show it.
FieldDef textField(std::string name);
// The descriptor of a column of a packet the server builds itself (audit rows, backups).
FieldDef packetField(const char* name, FieldType type, uint32_t size);

}  // namespace velmora::server
