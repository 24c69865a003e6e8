#pragma once
// The failed-records packet: the server's answer to a change packet. It names every record that
// failed, with the reason, and may carry values the server set on records it applied (a
// generated line id), which the client merges with them.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "data/PacketFormat.h"
#include "transport/Bytes.h"
#include "transport/Variant.h"

namespace velmora {

// Where a record sits in a change packet: the id of a top-level record, then for each nesting
// level the DataSet field and the id of the record inside it.
struct RecordPath {
    struct Step {
        uint16_t field = 0;
        uint32_t id = 0;
        bool operator==(const Step&) const = default;
    };
    uint32_t id = 0;
    std::vector<Step> nested;
    bool operator==(const RecordPath&) const = default;
};

struct FailedRecord {
    RecordPath path;
    int32_t code = 0;
    std::string message;
};

struct ServerValues {
    RecordPath path;
    std::vector<std::pair<uint16_t, Variant>> values;  // field index, value (String, Integer,
                                                       // Double, Boolean, Date or Null)
};

struct FailedRecordsPacket {
    bool rolledBack = false;  // failures exceeded MaxErrors and nothing was committed
    std::vector<FailedRecord> failed;
    std::vector<ServerValues> updated;
};

Bytes encodeFailedRecords(const FailedRecordsPacket& packet);
// Refuses damage with a PacketError.
FailedRecordsPacket decodeFailedRecords(const Bytes& bytes);

}  // namespace velmora
