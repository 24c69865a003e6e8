#pragma once

#include <memory>
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

// The rows of one statement handed out as data packets of a number of rows each, the last one
// marked complete. The rows handed out in all packets together may not pass maxBytes (0: no
// limit); past it a packet fails with ResultTooLarge. db and rows must outlive the cursor.
class RecordsCursor {
  public:
    RecordsCursor(DbConnection& db, DbQuery& rows, const ProviderDef& provider, size_t maxBytes);
    ~RecordsCursor();
    RecordsCursor(const RecordsCursor&) = delete;
    RecordsCursor& operator=(const RecordsCursor&) = delete;

    // The next count rows (every row left when count < 0); rowCount receives how many.
    Bytes next(int32_t count, int32_t& rowCount);
    // Whether the last packet handed out held the last row.
    bool exhausted() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The descriptor of a text column as the user store's columns show it.
FieldDef textField(std::string name);
// The descriptor of a column of a packet the server builds itself (audit rows, backups).
FieldDef packetField(const char* name, FieldType type, uint32_t size);

}  // namespace velmora::server
