#pragma once
// The change packet: the client's change log as it is sent to RemoteApplyUpdates. Records are in
// the order in which they were first changed; the nested changes of a row travel inside its record.

#include <cstdint>
#include <vector>

#include "data/FieldDef.h"
#include "data/PacketFormat.h"
#include "transport/Bytes.h"
#include "transport/Variant.h"

namespace velmora {

struct ChangeRecord;

// The changes of the rows held by one DataSet field of a record.
struct NestedChanges {
    uint32_t field = 0;  // index of the DataSet field in the record's fields
    std::vector<ChangeRecord> records;
};

struct ChangeRecord {
    ChangeKind kind = ChangeKind::Insert;
    uint32_t id = 0;                    // the client's record id, echoed in a failed-records packet
    std::vector<Variant> original;      // every field as last fetched; empty for an Insert
    std::vector<Variant> values;        // every field as changed; empty for Unmodified and Delete
    std::vector<NestedChanges> nested;  // only fields that have changes; DataSet values read null
    // An Insert's new values still encoded, in the bytes of the packet it was decoded from, when
    // it was decoded with InsertValues::Encoded; values is then empty.
    const uint8_t* encodedValues = nullptr;
};

struct ChangePacket {
    FieldDefs fields;
    std::vector<ChangeRecord> records;
};

Bytes encodeChangePacket(const ChangePacket& packet);
// Refuses damage with a PacketError; never allocates more than the input can hold.
// How an Insert's new values come out of a change packet: as values, or validated but left
// encoded (the server binds them straight from the packet; bytes must outlive the records).
enum class InsertValues { Decoded, Encoded };

ChangePacket decodeChangePacket(const Bytes& bytes, InsertValues inserts = InsertValues::Decoded);

}  // namespace velmora
