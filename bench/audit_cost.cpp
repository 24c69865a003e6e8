#include "bench/audit_cost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "data/ChangePacket.h"
#include "data/DataPacket.h"
#include "server/ChangeApplier.h"
#include "server/ProviderDefs.h"
#include "server/RecordsPacket.h"

namespace velmora::bench {

namespace {

using server::ChangeApplier;
using server::DbConnection;

constexpr int kLines = 5;

// The fields of an order as the client holds them: the provider's own descriptors.
FieldDefs orderFields(DbConnection& db) {
    const server::ProviderDef& def = *server::findProvider("DataSetProviderxsdtb");
    auto rows = db.query("select * from xsdtb where 1 = 0", {});
    int32_t count = 0;
    DataPacket packet = decodeDataPacket(server::buildRecordsPacket(db, *rows, def, count));
    return packet.layout->fields();
}

std::vector<Variant> valuesOf(const FieldDefs& fields,
                              std::initializer_list<std::pair<const char*, Variant>> set) {
    std::vector<Variant> values(fields.size(), Variant::null());
    for (const auto& [name, value] : set) values[static_cast<size_t>(findField(fields, name))] = value;
    return values;
}

ChangeRecord newOrder(const FieldDefs& fields, const std::string& id, uint32_t& nextId) {
    ChangeRecord header{ChangeKind::Insert, nextId++, {}, {}, {}, nullptr};
    header.values = valuesOf(fields, {{"xsdid", Variant(id)},
                                      {"khid", Variant(std::string("K001"))},
                                      {"khname", Variant(std::string("华联超市"))},
                                      {"ywyid", Variant(std::string("Y01"))},
                                      {"ywyname", Variant(std::string("张伟"))},
                                      {"rq", Variant(std::string("2003-01-15"))}});
    auto linesField = static_cast<uint32_t>(findField(fields, server::kNestedLinesField));
    const FieldDefs& lineFields = fields[linesField].nested;
    NestedChanges lines{linesField, {}};
    for (int l = 0; l < kLines; ++l) {
        ChangeRecord line{ChangeKind::Insert, nextId++, {}, {}, {}, nullptr};
        line.values = valuesOf(lineFields, {{"xsdid", Variant(id)},
                                            {"chid", Variant(std::string("0100101"))},
                                            {"chname", Variant(std::string("大白兔奶糖"))},
                                            {"quantity1", Variant(1.0 + l)},
                                            {"price1", Variant(12.5)},
                                            {"money1", Variant(12.5 * (1 + l))}});
        lines.records.push_back(std::move(line));
    }
    header.nested.push_back(std::move(lines));
    return header;
}

// Applies orders first..first+count as the server does (values left encoded in the packet, the
// maker stamped), perApply orders to a packet; returns the seconds of each apply.
std::vector<double> applyOrders(DbConnection& db, const FieldDefs& fields, const std::string& prefix,
                                int count, int perApply, bool audited) {
    std::vector<double> took;
    const server::ProviderDef& def = *server::findProvider("DataSetProviderxsdtb");
    for (int first = 0; first < count; first += perApply) {
        ChangePacket packet{fields, {}};
        uint32_t nextId = 1;
        for (int o = first; o < std::min(count, first + perApply); ++o)
            packet.records.push_back(newOrder(fields, prefix + std::to_string(o), nextId));
        Bytes bytes = encodeChangePacket(packet);
        auto start = std::chrono::steady_clock::now();
        ChangePacket received = decodeChangePacket(bytes, InsertValues::Encoded);
        ChangeApplier::Hooks hooks;
        hooks.maker = "管理员";
        if (audited)
            hooks.recordChanges = [&](const std::vector<server::AuditEntry>& entries) {
                server::appendAudit(db, {"管理员", "127.0.0.1:50000", "BENCH"}, entries);
            };
        int32_t errors = 0;
        ChangeApplier(db, def, std::move(hooks)).apply(received, -1, errors);
        took.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (errors != 0) {
            std::fprintf(stderr, "audit cost: %d records failed\n", errors);
            std::exit(1);
        }
    }
    return took;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

AuditCost measureAuditCost(const std::string& location, server::Durability durability, int bulkOrders,
                           int saves, int rounds) {
    std::unique_ptr<DbConnection> db = server::openDatabase(location, false, {"", durability});
    FieldDefs fields = orderFields(*db);
    AuditCost cost{1e9, 1e9, 0, 0};
    std::vector<double> savesWith, savesWithout;
    for (int round = 0; round < rounds; ++round) {
        const std::string tag = std::to_string(round);
        // Alternating, so that neither side always meets a larger table.
        for (bool audited : {round % 2 == 0, round % 2 != 0}) {
            const std::string side = audited ? "AW" : "AN";
            double& best = audited ? cost.bulkWith : cost.bulkWithout;
            best = std::min(best,
                            applyOrders(*db, fields, side + tag + "-", bulkOrders, bulkOrders, audited)[0]);
            std::vector<double> one = applyOrders(*db, fields, side + "S" + tag + "-", saves, 1, audited);
            (audited ? savesWith : savesWithout)
                .insert((audited ? savesWith : savesWithout).end(), one.begin(), one.end());
        }
    }
    cost.saveWith = median(savesWith);
    cost.saveWithout = median(savesWithout);
    return cost;
}

}  // namespace velmora::bench
