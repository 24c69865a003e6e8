#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/ChangePacket.h"
#include "data/FailedRecordsPacket.h"
#include "data/RowLayout.h"
#include "server/AuditTrail.h"
#include "server/Database.h"
#include "server/ProviderDefs.h"

namespace velmora::server {

// Writes a change packet into the provider's table in one transaction. An update or delete finds
// its row by key and requires the original values to be unchanged; a delete of a row already gone
// succeeds; a header is applied with its lines and, when it fails, its lines are not tried. Once
// the failures exceed maxErrors (unless it is -1) everything is rolled back.
class ChangeApplier {
  public:
    static constexpr const char* kChangedByAnotherUser = "Record changed by another user";

    struct Hooks {
        // Runs inside the transaction before anything is written; throws to refuse the packet.
        std::function<void(const ChangePacket&)> beforeWrites;
        // Who makes a new order (its username); its approver and approval flag start empty. Empty:
        // the packet's values stand.
        std::string maker;
        // Runs inside the transaction just before it commits, with an entry per record written
        // (and per order line deleted or renumbered with its order); none: nothing is collected.
        std::function<void(const std::vector<AuditEntry>&)> recordChanges;
    };

    ChangeApplier(DbConnection& db, const ProviderDef& provider, Hooks hooks = {})
        : db_(db), provider_(provider), hooks_(std::move(hooks)) {}

    FailedRecordsPacket apply(const ChangePacket& packet, int32_t maxErrors, int32_t& errorCount);

  private:
    struct Level {
        const ProviderDef& def;
        const FieldDefs& fields;
        const RowLayout* layout;  // of fields: reads the values of inserts still encoded
    };
    // The new values of an insert, decoded or still encoded in the packet.
    class NewValues;
    // The number of the order a line belongs to: as the client last fetched it, and as it
    // stands now that its header was applied (they differ when the header was renumbered).
    struct ParentOrder {
        const Variant* original = nullptr;
        const Variant* current = nullptr;
    };
    // Applies one record and its nested changes. header: the queued insert of the order a line
    // belongs to (0: none).
    void applyRecord(const Level& level, const ChangeRecord& record, const RecordPath& path,
                     const ParentOrder& parent, uint64_t header = 0);
    void applyNested(const Level& level, const ChangeRecord& record, const RecordPath& path, uint64_t number);
    // Queues an insert (see flush) and returns its number.
    uint64_t insert(const Level& level, const ChangeRecord& record, const RecordPath& path,
                    const Variant* parentOrder, uint64_t header);
    // Sends the queued inserts as runs; a failed insert fails its record, and the lines of a
    // failed order are then not tried. Every other statement waits until the queue is empty, so
    // that records are applied in the order they came.
    void flush();
    bool failedInsert(uint64_t number) const;
    // A line of a renumbered order moved with it: its order number as the client sent it is
    // replaced by the current one, in the original values and in the new ones.
    ChangeRecord followRenumbering(const Level& level, const ChangeRecord& record, const ParentOrder& parent,
                                   const RecordPath& path);
    void modify(const Level& level, const ChangeRecord& record);
    void remove(const Level& level, const ChangeRecord& record);
    void fail(const RecordPath& path, const std::string& message);
    // The insert statement of a field list and the fields it takes, in order.
    struct InsertPlan {
        std::string sql;
        std::vector<size_t> fields;
        int orderField = -1;    // position of xsdid among fields
        int generated = -1;     // the field the database numbers
        bool numbered = false;  // the statement sets that field itself
    };
    const InsertPlan& insertPlan(const Level& level, bool numbered);
    bool stopped() const {
        return maxErrors_ >= 0 && static_cast<int32_t>(result_.failed.size()) > maxErrors_;
    }

    // An insert waiting in queued_.
    struct Pending {
        ServerValues decided;  // the values the server set, sent back once the insert holds
        int generated = -1;    // the field that takes the generated key (-1: none)
        uint64_t number = 0;
        uint64_t header = 0;                         // the insert of the order this line belongs to
        std::optional<AuditEntry> audit;             // its entry, but for a key the database gives
        const std::string* generatedName = nullptr;  // the name of that key
    };
    // Inserts sent in one round trip at most; where a round trip is cheap it changes nothing.
    static constexpr size_t kRunLength = 1000;

    bool auditing() const { return static_cast<bool>(hooks_.recordChanges); }
    // The value the server gives a stamped column of a new order (see Hooks::maker), if any.
    std::optional<DbValue> stamped(const Level& level, const FieldDef& field) const;

    DbConnection& db_;
    const ProviderDef& provider_;
    Hooks hooks_;
    std::vector<GuardedStatement> queued_;
    std::vector<Pending> pending_;
    std::vector<uint64_t> failedInserts_;  // ascending
    uint64_t inserts_ = 0;
    std::vector<uint32_t> offsets_;  // of the encoded row being read
    int32_t maxErrors_ = 0;
    int savepoints_ = 0;
    FailedRecordsPacket result_;
    std::vector<AuditEntry> audit_;  // of the records written so far
    std::map<std::pair<const FieldDefs*, bool>, InsertPlan> plans_;
};

}  // namespace velmora::server
