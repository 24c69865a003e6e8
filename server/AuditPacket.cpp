#include "server/AuditPacket.h"

#include "data/DataPacket.h"
#include "server/RecordsPacket.h"

namespace velmora::server {

Bytes auditRowsPacket(const std::vector<AuditRow>& rows, size_t maxBytes) {
    FieldDefs fields{
        packetField("seq", FieldType::Integer, 0),        packetField("at", FieldType::String, 30),
        packetField("username", FieldType::String, 100),  packetField("peer", FieldType::String, 60),
        packetField("computer", FieldType::String, 100),  packetField("action", FieldType::String, 20),
        packetField("tablename", FieldType::String, 20),  packetField("recordkey", FieldType::String, 100),
        packetField("parentkey", FieldType::String, 100), packetField("changes", FieldType::String, 4000)};
    DataPacketWriter w(std::move(fields));
    size_t bytes = 0;
    for (const AuditRow& r : rows) {
        w.beginRow();
        // A number past 32 bits still orders rows; it is only shown.
        w.addInteger(static_cast<int32_t>(r.seq));
        for (const std::string* text : {&r.at, &r.who.user, &r.who.peer, &r.who.computer, &r.what.action,
                                        &r.what.table, &r.what.key, &r.what.parent, &r.what.changes}) {
            w.addText(*text);
            bytes += text->size() + 4;
        }
        w.endRow();
        if (maxBytes && bytes > maxBytes)
            throw ResultTooLarge(
                formatText("结果过大 (the result passed the size limit of %zu MB)", maxBytes >> 20));
    }
    return w.finish();
}

}  // namespace velmora::server
