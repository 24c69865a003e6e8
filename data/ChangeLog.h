#pragma once
// Turns a store's change log into a change packet, and an apply's answer back into the log, by
// the one rule of applying changes: what was committed is merged, every failed record stays in
// the log with its error, and after a rollback everything stays.

#include "data/ChangePacket.h"
#include "data/FailedRecordsPacket.h"
#include "data/RecordStore.h"

namespace velmora {

class ChangeLog {
  public:
    // The change packet of every change of store, nested ones inside their row's record, in the
    // order first made, encoded straight from the store's rows (no value is taken apart and put
    // together again). sent receives the records without their values: enough for reconcile.
    static Bytes encode(RecordStore& store, ChangePacket& sent);

    // Reconciles the records of sent with result. rolledBack: nothing was committed.
    static void reconcile(RecordStore& store, const ChangePacket& sent, const FailedRecordsPacket& result,
                          bool rolledBack);

  private:
    class Outcome;
    // Writes the change records of store to out and their outline to sent; returns their count.
    static uint32_t writeRecords(RecordStore& store, Bytes& out, std::vector<ChangeRecord>& sent);
    static void reconcileLevel(RecordStore& store, const std::vector<ChangeRecord>& sent, RecordPath& path,
                               bool topLevel, Outcome& outcome, bool rolledBack);
};

}  // namespace velmora
