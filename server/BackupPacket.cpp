#include "server/BackupPacket.h"

#include "data/DataPacket.h"

namespace velmora::server {

namespace {

FieldDef field(const char* name, FieldType type, uint32_t size) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

}  // namespace

Bytes backupListPacket(const std::vector<BackupDirectory::Entry>& entries) {
    FieldDefs fields{field("name", FieldType::String, 100), field("created", FieldType::String, 30),
                     field("size", FieldType::Double, 0), field("verified", FieldType::Boolean, 0)};
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
