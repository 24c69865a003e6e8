#include "server/BackupPacket.h"

#include "data/DataPacket.h"
#include "server/RecordsPacket.h"

namespace velmora::server {

Bytes backupListPacket(const std::vector<BackupDirectory::Entry>& entries) {
    FieldDefs fields{packetField("name", FieldType::String, 100),
                     packetField("created", FieldType::String, 30), packetField("size", FieldType::Double, 0),
                     packetField("verified", FieldType::Boolean, 0)};
    DataPacketWriter w(std::move(fields));
    for (const BackupDirectory::Entry& e : entries) {
        w.beginRow();
        w.addText(e.name);
        w.addText(e.created);
        w.addDouble(static_cast<double>(e.bytes));
        w.addBoolean(e.verified);
        w.endRow();
    }
    return w.finish();
}

}  // namespace velmora::server
