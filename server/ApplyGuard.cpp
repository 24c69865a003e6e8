#include "server/ApplyGuard.h"

#include <strings.h>

#include <cstring>

#include "data/Cell.h"
#include "data/RowLayout.h"

namespace velmora::server {

namespace {

bool isMasterData(const std::string& table) {
    for (const char* t : {"ch", "kh", "ywy", "chfl"})
        if (table == t) return true;
    return false;
}

const Variant& at(const std::vector<Variant>& values, int i) {
    static const Variant kNull = Variant::null();
    return i >= 0 && static_cast<size_t>(i) < values.size() ? values[static_cast<size_t>(i)] : kNull;
}

// A field of an insert, whether its values are decoded or still encoded.
Variant insertedValue(const ChangeRecord& record, const RowLayout& layout, int field) {
    if (field < 0) return Variant::null();
    if (!record.encodedValues) return at(record.values, field);
    auto f = static_cast<size_t>(field);
    if (RowLayout::isNull(record.encodedValues, f)) return Variant::null();
    std::vector<uint32_t> offsets(layout.fieldCount() + 1);
    layout.offsets(record.encodedValues, offsets.data());
    return cellValue(layout, record.encodedValues, offsets.data(), f);
}

}  // namespace

bool isStampedOrderColumn(std::string_view column) {
    for (const char* c : {"username", "shrname", "ischeck"})
        if (column.size() == std::strlen(c) && strncasecmp(column.data(), c, column.size()) == 0) return true;
    return false;
}

void ApplyGuard::check(const ChangePacket& packet) {
    if (isMasterData(provider_.table)) {
        if (!packet.records.empty() && !access_.rights.has(Right::MaintainMasterData))
            throw RightsRefused("没有权限：维护基础资料 (maintaining master data is not among your rights)");
        return;
    }
    if (provider_.table == "xsdtb") return checkOrders(packet);
    if (provider_.table == "xsdzb") return checkLines(packet.fields, packet.records, false);
}

void ApplyGuard::checkOrders(const ChangePacket& packet) {
    int number = findField(packet.fields, "xsdid");
    for (const ChangeRecord& r : packet.records) {
        if (r.kind == ChangeKind::Insert) continue;  // a new order: the server stamps its maker
        if (r.kind == ChangeKind::Modify) {
            for (size_t f = 0; f < packet.fields.size(); ++f) {
                if (isStampedOrderColumn(packet.fields[f].name) &&
                    at(r.values, static_cast<int>(f)) != at(r.original, static_cast<int>(f)))
                    throw RightsRefused(
                        "没有权限：制单人、审核人和审核标志不能直接修改 (the maker and the approval of an "
                        "order are set by the server)");
            }
        }
        requireChangeable(at(r.original, number), r.kind == ChangeKind::Delete);
        if (r.kind == ChangeKind::Modify && at(r.values, number) != at(r.original, number))
            requireChangeable(at(r.values, number), false);
        for (const NestedChanges& n : r.nested)
            if (n.field < packet.fields.size()) checkLines(packet.fields[n.field].nested, n.records, true);
    }
}

void ApplyGuard::checkLines(const FieldDefs& fields, const std::vector<ChangeRecord>& lines, bool nested) {
    int number = findField(fields, "xsdid");
    std::optional<RowLayout> layout;
    for (const ChangeRecord& r : lines) {
        if (r.kind == ChangeKind::Insert) {
            // A line added under its order takes that order's number, checked with the order.
            if (nested) continue;
            if (!layout) layout.emplace(fields);
            requireChangeable(insertedValue(r, *layout, number), false);
            continue;
        }
        if (r.kind == ChangeKind::Unmodified) continue;
        requireChangeable(at(r.original, number), false);
        if (r.kind == ChangeKind::Modify && at(r.values, number) != at(r.original, number))
            requireChangeable(at(r.values, number), false);
    }
}

void ApplyGuard::requireChangeable(const Variant& numberValue, bool deleting) {
    if (deleting && !access_.rights.has(Right::DeleteOrders))
        throw RightsRefused("没有权限：删除单据 (deleting orders is not among your rights)");
    if (numberValue.isNull() || numberValue.isEmpty()) return;
    std::string number = numberValue.toString();
    auto found = orders_.find(number);
    if (found == orders_.end()) found = orders_.emplace(number, lockedOrderState(db_, number)).first;
    const std::optional<OrderState>& order = found->second;
    if (!order) return;
    if (order->approved) throw RightsRefused(deleting ? "此单据已审核，不能删除" : "此单据已审核，不能编辑");
    if (order->maker != access_.user && !access_.isAdministrator())
        throw RightsRefused(deleting
                                ? "没有权限：只能删除自己制作的单据 (only the maker may delete an order)"
                                : "没有权限：只能修改自己制作的单据 (only the maker may change an order)");
}

}  // namespace velmora::server
