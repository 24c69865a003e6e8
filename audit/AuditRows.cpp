#include "audit/AuditRows.h"

#include "audit/AuditTime.h"
#include "audit/AuditWords.h"
#include "data/ClientDataSet.h"
#include "data/DataPacket.h"

namespace velmora {

namespace {

FieldDef textField(const char* name, uint32_t size) {
    FieldDef f;
    f.name = name;
    f.type = FieldType::String;
    f.size = size;
    return f;
}

std::string joined(const std::vector<std::string>& lines, std::string_view separator) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += separator;
        text += line;
    }
    return text;
}

}  // namespace

std::vector<ReadableAuditRow> readableAuditRows(ClientDataSet& rows, const ValueNamer& namer) {
    auto column = [&](const char* name) {
        Field* f = rows.FindField(name);
        return f ? f->Index() : -1;
    };
    const int at = column("at"), user = column("username"), peer = column("peer"),
              computer = column("computer"), action = column("action"), table = column("tablename"),
              key = column("recordkey"), parent = column("parentkey"), changes = column("changes");
    auto text = [&](int row, int field) { return field < 0 ? std::string() : rows.textAt(row, field); };

    std::vector<ReadableAuditRow> out;
    const int count = rows.Active() ? rows.RecordCount() : 0;
    out.reserve(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        ReadableAuditRow row;
        row.at = text(r, at);
        row.user = text(r, user);
        row.peer = text(r, peer);
        row.computer = text(r, computer);
        row.actionName = text(r, action);
        row.table = text(r, table);
        row.recordKey = text(r, key);
        row.parentKey = text(r, parent);
        row.changes = text(r, changes);
        row.time = localTimeText(row.at);
        row.action = actionCaption(row.actionName);
        row.object = tableCaption(row.table);
        row.key = row.parentKey.empty()
                      ? row.recordKey
                      : row.parentKey + " " + fieldCaption("xsdzb", "lineid") + row.recordKey;
        row.content = changeLines(row.table, row.changes, namer);
        out.push_back(std::move(row));
    }
    return out;
}

Bytes readableAuditPacket(const std::vector<ReadableAuditRow>& rows, std::string_view separator) {
    DataPacketWriter w({textField("at", 19), textField("username", 50), textField("peer", 60),
                        textField("computer", 100), textField("action", 20), textField("object", 20),
                        textField("recordkey", 120), textField("content", 4000)});
    for (const ReadableAuditRow& r : rows) {
        w.beginRow();
        for (const std::string* value :
             {&r.time, &r.user, &r.peer, &r.computer, &r.action, &r.object, &r.key})
            w.addText(*value);
        w.addText(joined(r.content, separator));
        w.endRow();
    }
    return w.finish();
}

}  // namespace velmora
