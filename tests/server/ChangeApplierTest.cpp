// Applying change packets to a real database: an order renumbered together with its lines, and
// every value the server decides for a record sent back.

#include "server/ChangeApplier.h"

#include <map>

#include "server/LoginThrottle.h"
#include "server/ProviderHost.h"
#include "server/Session.h"
#include "server/UserStore.h"
#include "tests/server/ServerDbFixture.h"

namespace velmora::server {
namespace {

// Each case runs on a packet as the client encodes it and the server decodes it, with the new
// rows' values left encoded, and on one whose values are all decoded.
class ChangeApplierTest : public ServerDbFixture, public ::testing::WithParamInterface<InsertValues> {
  protected:
    void SetUp() override {
        db->execute("insert into xsdtb (xsdid, khid) values ('X1', '01')");
        db->execute("insert into xsdzb (xsdid, chid, quantity1) values ('X1', 'A', 1), ('X1', 'B', 2)");
        orders = open("select * from xsdtb", "DataSetProviderxsdtb");
        linesField = static_cast<uint32_t>(findField(orders.layout->fields(), kNestedLinesField));
    }

    // The order's lines as the client holds them.
    std::vector<std::vector<Variant>> lines() const {
        const RowLayout& top = *orders.layout;
        std::vector<uint32_t> offsets(top.fieldCount() + 1);
        top.offsets(orders.rows[0], offsets.data());
        RowLayout::NestedRows nested = RowLayout::nestedRows(orders.rows[0] + offsets[linesField]);
        const RowLayout& layout = *top.nested(linesField);
        std::vector<std::vector<Variant>> out;
        const uint8_t* r = nested.first;
        for (uint32_t i = 0; i < nested.count; ++i, r += layout.rowSize(r))
            out.push_back(rowValues(layout, r));
        return out;
    }
    size_t lineField(const char* name) const {
        return static_cast<size_t>(findField(orders.layout->fields()[linesField].nested, name));
    }
    FailedRecordsPacket apply(std::vector<ChangeRecord> headers, int32_t& errors, int32_t maxErrors = -1) {
        ChangePacket packet{orders.layout->fields(), std::move(headers)};
        Bytes bytes = encodeChangePacket(packet);
        ChangePacket received = decodeChangePacket(bytes, GetParam());
        ChangeApplier applier(*db, *findProvider("DataSetProviderxsdtb"));
        return applier.apply(received, maxErrors, errors);
    }
    FailedRecordsPacket apply(const ChangeRecord& header, int32_t& errors) {
        return apply(std::vector<ChangeRecord>{header}, errors);
    }
    int64_t count(const std::string& sql) {
        auto q = db->query(sql);
        return q->next() ? q->integer(0) : -1;
    }

    DataPacket orders;
    uint32_t linesField = 0;
};

TEST_P(ChangeApplierTest, RenumberingAnOrderWithChangedLinesMovesThemWithoutFalseConflicts) {
    ChangeRecord header{ChangeKind::Modify, 1, row(orders, 0), row(orders, 0), {}};
    header.values[0] = Variant("X9");
    std::vector<std::vector<Variant>> held = lines();
    ChangeRecord changed{ChangeKind::Modify, 2, held[0], held[0], {}};
    changed.values[lineField("quantity1")] = Variant(5.0);
    ChangeRecord gone{ChangeKind::Delete, 3, held[1], {}, {}};
    header.nested.push_back({linesField, {changed, gone}});

    int32_t errors = -1;
    FailedRecordsPacket result = apply(header, errors);
    EXPECT_EQ(errors, 0);
    EXPECT_TRUE(result.failed.empty()) << result.failed.front().message;
    EXPECT_EQ(count("select count(*) from xsdzb where xsdid = 'X9' and quantity1 = 5"), 1);
    EXPECT_EQ(count("select count(*) from xsdzb"), 1);
    // The changed line still shows the old number on the client: it is told the new one.
    ASSERT_EQ(result.updated.size(), 1u);
    EXPECT_EQ(result.updated[0].path, (RecordPath{1, {{static_cast<uint16_t>(linesField), 2}}}));
    EXPECT_EQ(result.updated[0].values.at(0).second, Variant("X9"));
}

TEST_P(ChangeApplierTest, AnInsertedLineGetsBackTheOrderNumberAndTheLineIdTheServerSet) {
    ChangeRecord header{ChangeKind::Unmodified, 1, row(orders, 0), {}, {}};
    std::vector<Variant> line(orders.layout->fields()[linesField].nested.size(), Variant::null());
    line[lineField("chid")] = Variant("C");
    header.nested.push_back({linesField, {ChangeRecord{ChangeKind::Insert, 7, {}, line, {}}}});

    int32_t errors = -1;
    FailedRecordsPacket result = apply(header, errors);
    EXPECT_EQ(errors, 0);
    ASSERT_EQ(result.updated.size(), 1u);
    std::map<size_t, Variant> sent(result.updated[0].values.begin(), result.updated[0].values.end());
    EXPECT_EQ(sent[lineField("xsdid")], Variant("X1"));
    EXPECT_EQ(sent[lineField("lineid")],
              Variant(static_cast<int32_t>(count("select lineid from xsdzb where chid = 'C'"))));
}

// A new order with one line of item chid, as the invoicing window sends it.
ChangeRecord newOrder(const DataPacket& orders, uint32_t linesField, uint32_t id, const char* number,
                      const char* chid) {
    const FieldDefs& fields = orders.layout->fields();
    std::vector<Variant> header(fields.size(), Variant::null());
    header[static_cast<size_t>(findField(fields, "xsdid"))] = Variant(number);
    const FieldDefs& lineFields = fields[linesField].nested;
    std::vector<Variant> line(lineFields.size(), Variant::null());
    line[static_cast<size_t>(findField(lineFields, "xsdid"))] = Variant(number);
    line[static_cast<size_t>(findField(lineFields, "chid"))] = Variant(chid);
    ChangeRecord order{ChangeKind::Insert, id, {}, header, {}};
    order.nested.push_back({linesField, {ChangeRecord{ChangeKind::Insert, id + 100, {}, line, {}}}});
    return order;
}

TEST_P(ChangeApplierTest, AFailedHeaderLeavesItsLinesUntriedAndTheOthersAreCommitted) {
    // X1 exists already: its header fails, its line is never tried; X2 goes in with its line.
    int32_t errors = -1;
    FailedRecordsPacket result = apply(
        {newOrder(orders, linesField, 1, "X1", "LA"), newOrder(orders, linesField, 2, "X2", "LB")}, errors);
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(result.rolledBack);
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_EQ(result.failed[0].path, (RecordPath{1, {}}));
    EXPECT_EQ(count("select count(*) from xsdzb where chid = 'LA'"), 0);
    EXPECT_EQ(count("select count(*) from xsdzb where xsdid = 'X2' and chid = 'LB'"), 1);
}

TEST_P(ChangeApplierTest, FailuresPastMaxErrorsRollBackWhatHadSucceeded) {
    int32_t errors = -1;
    FailedRecordsPacket result =
        apply({newOrder(orders, linesField, 1, "X3", "LC"), newOrder(orders, linesField, 2, "X1", "LD")},
              errors, 0);
    EXPECT_TRUE(result.rolledBack);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(count("select count(*) from xsdtb where xsdid = 'X3'"), 0);
    EXPECT_EQ(count("select count(*) from xsdzb where chid in ('LC', 'LD')"), 0);
    EXPECT_EQ(count("select count(*) from xsdzb"), 2);  // the two lines of X1 from before
}

// Orders X100.. with `lines` lines each, items named "<order>-<line>"; record ids from 1, line
// ids from 10,000.
std::vector<ChangeRecord> newOrders(const DataPacket& orders, uint32_t linesField, int count, int lines) {
    std::vector<ChangeRecord> out;
    for (int o = 0; o < count; ++o) {
        std::string number = "X" + std::to_string(100 + o);
        ChangeRecord order = newOrder(orders, linesField, static_cast<uint32_t>(o + 1), number.c_str(), "");
        ChangeRecord first = order.nested[0].records[0];
        const FieldDefs& lineFields = orders.layout->fields()[linesField].nested;
        auto chid = static_cast<size_t>(findField(lineFields, "chid"));
        order.nested[0].records.clear();
        for (int l = 0; l < lines; ++l) {
            ChangeRecord line = first;
            line.id = static_cast<uint32_t>(10000 + o * lines + l);
            line.values[chid] = Variant(number + "-" + std::to_string(l));
            order.nested[0].records.push_back(line);
        }
        out.push_back(order);
    }
    return out;
}

// Many records go to the database in runs (on PostgreSQL without waiting for each answer): a
// failure inside a run fails exactly its record, and the lines of a failed order are not tried.
TEST_P(ChangeApplierTest, AFailureInsideARunFailsOnlyItsRecordAndTheRestHold) {
    int64_t taken = count("select min(lineid) from xsdzb");
    // 400 orders x 3 lines cross a run's end; order 5 is X1 again, and one line of order 300
    // takes the line id of a line that exists already.
    std::vector<ChangeRecord> records = newOrders(orders, linesField, 400, 3);
    records[5].values[static_cast<size_t>(findField(orders.layout->fields(), "xsdid"))] = Variant("X1");
    records[300].nested[0].records[1].values[lineField("lineid")] = Variant(static_cast<int32_t>(taken));

    int32_t errors = -1;
    FailedRecordsPacket result = apply(records, errors);
    EXPECT_EQ(errors, 2);
    EXPECT_FALSE(result.rolledBack);
    ASSERT_EQ(result.failed.size(), 2u);
    EXPECT_EQ(result.failed[0].path, (RecordPath{6, {}}));
    EXPECT_EQ(result.failed[1].path,
              (RecordPath{301, {{static_cast<uint16_t>(linesField), 10000 + 300 * 3 + 1}}}));
    EXPECT_EQ(count("select count(*) from xsdtb"), 400);  // X1 and 399 new ones
    EXPECT_EQ(count("select count(*) from xsdzb where chid like 'X105-%'"), 0);
    EXPECT_EQ(count("select count(*) from xsdzb where chid like 'X400-%'"), 2);
    EXPECT_EQ(count("select count(*) from xsdzb"), 2 + 399 * 3 - 1);

    // Every stored line is told its own id, and no failed one is told any.
    size_t idField = lineField("lineid");
    std::map<uint32_t, int32_t> told;
    for (const ServerValues& v : result.updated)
        for (const auto& [field, value] : v.values)
            if (!v.path.nested.empty() && field == idField) told[v.path.nested[0].id] = value.toInt();
    EXPECT_EQ(told.size(), 399u * 3 - 1);
    for (int o : {0, 4, 6, 299, 300, 399}) {
        for (int l = 0; l < 3; ++l) {
            auto id = static_cast<uint32_t>(10000 + o * 3 + l);
            std::string chid = "X" + std::to_string(100 + o) + "-" + std::to_string(l);
            int64_t stored = count("select coalesce(max(lineid), -1) from xsdzb where chid = '" + chid + "'");
            if (stored < 0) {
                EXPECT_EQ(told.count(id), 0u) << chid;
            } else {
                EXPECT_EQ(told[id], stored) << chid;
            }
        }
    }
}

TEST_P(ChangeApplierTest, MaxErrorsCountsFailuresInsideARun) {
    std::vector<ChangeRecord> records = newOrders(orders, linesField, 50, 2);
    size_t number = static_cast<size_t>(findField(orders.layout->fields(), "xsdid"));
    records[10].values[number] = Variant("X1");
    records[40].values[number] = Variant("X1");

    int32_t errors = -1;
    FailedRecordsPacket result = apply(records, errors, 1);
    EXPECT_TRUE(result.rolledBack);
    EXPECT_EQ(errors, 2);
    EXPECT_TRUE(result.updated.empty());
    EXPECT_EQ(count("select count(*) from xsdtb"), 1);
    EXPECT_EQ(count("select count(*) from xsdzb"), 2);

    result = apply(records, errors, 2);
    EXPECT_FALSE(result.rolledBack);
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(count("select count(*) from xsdtb"), 49);
    EXPECT_EQ(count("select count(*) from xsdzb"), 2 + 48 * 2);
}

TEST_P(ChangeApplierTest, AnApplyWithNothingToReportAnswersNull) {
    LoginThrottle throttle;
    UserStore(*db).add("u", "p", Role::Administrator);
    ConnectionPool pool([this] { return openDatabase(location(), false); }, 1);
    Session session("127.0.0.1:1", pool, throttle, SessionLimits{});
    ASSERT_TRUE(session.checkLogin("u", "p"));
    ProviderHost host(*db, session, QueryLimits{});
    ChangeRecord header{ChangeKind::Modify, 1, row(orders, 0), row(orders, 0), {}};
    header.values[1] = Variant("02");
    ChangePacket packet{orders.layout->fields(), {header}};
    int32_t errors = -1;
    Variant ownerData;
    Variant answer = host.RemoteApplyUpdates(
        "DataSetProviderxsdtb", Variant::byteArray(encodeChangePacket(packet)), -1, errors, ownerData);
    EXPECT_EQ(errors, 0);
    EXPECT_TRUE(answer.isNull());
}

std::string packetName(const ::testing::TestParamInfo<InsertValues>& p) {
    return p.param == InsertValues::Encoded ? "Encoded" : "Decoded";
}

INSTANTIATE_TEST_SUITE_P(Packets, ChangeApplierTest,
                         ::testing::Values(InsertValues::Encoded, InsertValues::Decoded), packetName);

}  // namespace
}  // namespace velmora::server
