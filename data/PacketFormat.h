#pragma once
// The fixed numbers of the data, change and failed-records packets (docs/packets.md). Every
// packet starts with the same 24-byte header; all integers are little-endian.

#include <cstddef>
#include <cstdint>

#include "transport/Errors.h"

namespace velmora {

constexpr uint8_t kPacketMagic[4] = {'V', 'M', 'P', 'K'};
constexpr uint16_t kPacketVersion = 1;
constexpr size_t kPacketHeaderSize = 24;

enum class PacketKind : uint8_t {
    Data = 1,           // field descriptors and rows, from the server
    Change = 2,         // the client's change log
    FailedRecords = 3,  // the server's answer to a change packet
};

// Header flags of a data packet.
constexpr uint8_t kDataComplete = 1;  // the provider sent every row of its result
// Header flags of a failed-records packet.
constexpr uint8_t kApplyRolledBack = 1;  // the failures exceeded MaxErrors; nothing was committed

// Change record kinds.
enum class ChangeKind : uint8_t {
    Unmodified = 0,  // the row itself is unchanged; it carries changes of its nested rows
    Insert = 1,
    Modify = 2,
    Delete = 3,
};

// Entry kinds of a failed-records packet.
enum class ResultEntryKind : uint8_t {
    Failed = 1,  // the record was not applied; error code and message follow
    Values = 2,  // the record was applied and the server set these values (a generated line id)
};

// Limits a decoder enforces before it allocates anything.
constexpr uint32_t kMaxFieldsPerLevel = 4096;
constexpr uint32_t kMaxFieldNameBytes = 1024;
constexpr uint32_t kMaxNestingDepth = 8;
constexpr uint32_t kMaxMessageBytes = 1u << 20;

// A packet that cannot be decoded or encoded. The message names the packet and the byte offset.
class PacketError : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

}  // namespace velmora
