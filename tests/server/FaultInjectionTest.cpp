// An apply as the server runs it (the audit rows included), with the database failing on purpose
// at each statement in turn, at the commit and at the begin: whatever fails, the database is left
// as it was, or holds exactly the records the reply calls applied.

#include <map>
#include <set>

#include "server/AuditTrail.h"
#include "server/ChangeApplier.h"
#include "tests/server/FaultyConnection.h"
#include "tests/server/ServerDbFixture.h"

namespace velmora::server {
namespace {

using Fault = FaultyConnection::Fault;

class FaultInjection : public ServerDbFixture {
  protected:
    void SetUp() override {
        db->execute("insert into xsdtb (xsdid, khid) values ('X0', '01'), ('X1', '01')");
        db->execute(
            "insert into xsdzb (xsdid, chid, quantity1) values ('X0', 'C', 3), ('X1', 'A', 1), ('X1', 'B', "
            "2)");
        orders = open("select * from xsdtb order by xsdid", "DataSetProviderxsdtb");
        linesField = static_cast<uint32_t>(findField(fields(), kNestedLinesField));
    }

    const FieldDefs& fields() const { return orders.layout->fields(); }
    const FieldDefs& lineFields() const { return fields()[linesField].nested; }
    size_t field(const char* name) const { return static_cast<size_t>(findField(fields(), name)); }
    size_t lineField(const char* name) const { return static_cast<size_t>(findField(lineFields(), name)); }

    // The lines of order i as the client holds them.
    std::vector<std::vector<Variant>> linesOf(size_t i) const {
        const RowLayout& top = *orders.layout;
        std::vector<uint32_t> offsets(top.fieldCount() + 1);
        top.offsets(orders.rows[i], offsets.data());
        RowLayout::NestedRows nested = RowLayout::nestedRows(orders.rows[i] + offsets[linesField]);
        const RowLayout& layout = *top.nested(linesField);
        std::vector<std::vector<Variant>> out;
        const uint8_t* r = nested.first;
        for (uint32_t n = 0; n < nested.count; ++n, r += layout.rowSize(r))
            out.push_back(rowValues(layout, r));
        return out;
    }

    // A new order with two lines; its records are id, id + 1 and id + 2.
    ChangeRecord newOrder(uint32_t id, const std::string& number) const {
        std::vector<Variant> header(fields().size(), Variant::null());
        header[field("xsdid")] = Variant(number);
        header[field("khid")] = Variant("02");
        ChangeRecord order{ChangeKind::Insert, id, {}, header, {}};
        NestedChanges lines{linesField, {}};
        for (uint32_t n = 1; n <= 2; ++n) {
            std::vector<Variant> line(lineFields().size(), Variant::null());
            line[lineField("xsdid")] = Variant(number);
            line[lineField("chid")] = Variant(number + "-" + std::to_string(n));
            line[lineField("quantity1")] = Variant(double(n));
            lines.records.push_back(ChangeRecord{ChangeKind::Insert, id + n, {}, line, {}});
        }
        order.nested.push_back(std::move(lines));
        return order;
    }

    // Of every kind a save sends: X1's customer changed, one of its lines changed and one
    // deleted; X0 deleted with its line; two new orders with their lines.
    ChangePacket mixedPacket() const {
        std::vector<Variant> x1 = row(orders, 1);
        ChangeRecord changed{ChangeKind::Modify, 1, x1, x1, {}};
        changed.values[field("khid")] = Variant("03");
        std::vector<std::vector<Variant>> held = linesOf(1);
        ChangeRecord line{ChangeKind::Modify, 2, held[0], held[0], {}};
        line.values[lineField("quantity1")] = Variant(9.0);
        ChangeRecord gone{ChangeKind::Delete, 3, held[1], {}, {}};
        changed.nested.push_back({linesField, {line, gone}});
        ChangeRecord removed{ChangeKind::Delete, 4, row(orders, 0), {}, {}};
        return ChangePacket{fields(), {changed, removed, newOrder(10, "N1"), newOrder(20, "N2")}};
    }

    // The packet applied through connection as the server applies it, with its audit rows.
    FailedRecordsPacket apply(DbConnection& connection, const ChangePacket& packet, int32_t maxErrors) {
        ChangeApplier::Hooks hooks;
        hooks.maker = "管理员";
        hooks.recordChanges = [&](const std::vector<AuditEntry>& entries) {
            appendAudit(connection, AuditContext{"管理员", "127.0.0.1", "test"}, entries);
        };
        int32_t errors = 0;
        return ChangeApplier(connection, *findProvider("DataSetProviderxsdtb"), hooks)
            .apply(packet, maxErrors, errors);
    }

    // Every row of the orders, their lines and the audit trail, as text.
    std::string snapshot() {
        std::string out;
        for (const char* sql :
             {"select xsdid, khid, username from xsdtb order by xsdid",
              "select xsdid, chid, quantity1 from xsdzb order by xsdid, chid",
              "select seq, hash from audit_log order by seq", "select seq, hash from audit_head"}) {
            auto q = db->query(sql);
            while (q->next()) {
                for (size_t c = 0; c < q->columnCount(); ++c) {
                    switch (q->type(c)) {
                        case DbType::Null:
                            out += "<null>";
                            break;
                        case DbType::Integer:
                            out += std::to_string(q->integer(c));
                            break;
                        case DbType::Float:
                            out += std::to_string(q->real(c));
                            break;
                        case DbType::Text:
                            out += q->text(c);
                            break;
                    }
                    out += '|';
                }
                out += '\n';
            }
            out += "--\n";
        }
        return out;
    }
    int64_t count(const std::string& sql) {
        auto q = db->query(sql);
        return q->next() ? q->integer(0) : -1;
    }

    // How many statements the packet's apply runs when nothing fails (and leaves nothing).
    size_t statementsOf(const ChangePacket& packet) {
        FaultyConnection counting(*db);
        db->begin();  // the apply joins it; rolled back below
        apply(counting, packet, -1);
        db->rollback();
        return counting.statements();
    }

    DataPacket orders;
    uint32_t linesField = 0;
};

TEST_F(FaultInjection, AnyStatementFailingInARolledBackApplyLeavesTheDatabaseAsItWas) {
    ChangePacket packet = mixedPacket();
    const std::string before = snapshot();
    size_t total = statementsOf(packet);
    ASSERT_GE(total, 12u);  // three records of X1, two of X0, six new rows, the audit rows
    for (Fault fault : {Fault::Error, Fault::Busy}) {
        for (size_t n = 1; n <= total; ++n) {
            FaultyConnection faulty(*db);
            faulty.failStatement(n, fault);
            bool refused = false;
            try {
                refused = apply(faulty, packet, 0).rolledBack;
            } catch (const std::exception&) {
                refused = true;  // a failure of the database rather than of a record
            }
            ASSERT_TRUE(faulty.injected()) << n;
            EXPECT_TRUE(refused) << "statement " << n << " failed, yet the apply went through";
            ASSERT_EQ(snapshot(), before) << "statement " << n << " of " << total;
            ASSERT_FALSE(db->inTransaction()) << n;
        }
    }
    // Nothing failing, all of it holds.
    FaultyConnection sound(*db);
    FailedRecordsPacket result = apply(sound, packet, 0);
    EXPECT_TRUE(result.failed.empty()) << result.failed.front().message;
    EXPECT_EQ(count("select count(*) from xsdtb"), 3);
    EXPECT_EQ(count("select count(*) from xsdzb"), 5);
}

TEST_F(FaultInjection, AStatementFailingInAnApplyThatGoesOnUndoesOnlyItsOwnRecord) {
    ChangePacket packet{fields(), {newOrder(10, "N1"), newOrder(20, "N2"), newOrder(30, "N3")}};
    size_t total = statementsOf(packet);
    ASSERT_GE(total, 9u);
    const std::string before = snapshot();
    for (size_t n = 1; n <= total; ++n) {
        FaultyConnection faulty(*db);
        faulty.failStatement(n);
        db->begin();  // the apply joins it, and the records it calls applied are looked at in it
        FailedRecordsPacket result;
        try {
            result = apply(faulty, packet, -1);
        } catch (const std::exception&) {
            // The whole apply failed: nothing of it may remain.
            if (db->inTransaction()) db->rollback();
            ASSERT_EQ(snapshot(), before) << n;
            continue;
        }
        ASSERT_TRUE(faulty.injected()) << n;
        ASSERT_FALSE(result.rolledBack) << n;
        std::set<uint32_t> failedOrders, failedLines;
        for (const FailedRecord& f : result.failed)
            (f.path.nested.empty() ? failedOrders : failedLines)
                .insert(f.path.nested.empty() ? f.path.id : f.path.nested[0].id);
        EXPECT_EQ(result.failed.size(), 1u) << n << ": one statement failed, one record with it";
        for (const ChangeRecord& order : packet.records) {
            const std::string number = order.values[field("xsdid")].toString();
            bool orderFailed = failedOrders.count(order.id) > 0;
            EXPECT_EQ(count("select count(*) from xsdtb where xsdid = '" + number + "'"), orderFailed ? 0 : 1)
                << "statement " << n << ", order " << number;
            int lines =
                orderFailed ? 0 : 2 - int(failedLines.count(order.id + 1) + failedLines.count(order.id + 2));
            EXPECT_EQ(count("select count(*) from xsdzb where xsdid = '" + number + "'"), lines)
                << "statement " << n << ", order " << number;
        }
        db->rollback();
    }
}

TEST_F(FaultInjection, ARecordWhoseUndoingFailsTooFailsTheWholeApply) {
    // Each order's delete takes several statements under a savepoint of its own. Two statements
    // fail in a row at every place: a record's statement and then the undoing of it, too.
    ChangePacket packet{fields(),
                        {ChangeRecord{ChangeKind::Delete, 1, row(orders, 0), {}, {}},
                         ChangeRecord{ChangeKind::Delete, 2, row(orders, 1), {}, {}}}};
    size_t total = statementsOf(packet);
    ASSERT_GE(total, 6u);
    for (size_t n = 1; n < total; ++n) {
        const std::string before = snapshot();
        FaultyConnection faulty(*db);
        faulty.failStatement(n);
        faulty.failStatement(n + 1);
        FailedRecordsPacket result;
        try {
            result = apply(faulty, packet, -1);
        } catch (const std::exception&) {
            ASSERT_EQ(snapshot(), before) << n;
            continue;
        }
        // An order whose delete failed keeps its header and every line; one that held, neither.
        std::set<uint32_t> failed;
        for (const FailedRecord& f : result.failed) failed.insert(f.path.id);
        for (const char* number : {"X0", "X1"}) {
            bool kept = failed.count(number == std::string("X0") ? 1u : 2u) > 0;
            std::string where = std::string(" where xsdid = '") + number + "'";
            EXPECT_EQ(count("select count(*) from xsdtb" + where), kept ? 1 : 0) << n << " " << number;
            EXPECT_EQ(count("select count(*) from xsdzb" + where),
                      kept ? (number == std::string("X0") ? 1 : 2) : 0)
                << "statements " << n << " and " << n + 1 << ", order " << number;
        }
        // Back to where it was for the next round.
        db->execute("delete from xsdzb");
        db->execute("delete from xsdtb");
        db->execute("insert into xsdtb (xsdid, khid) values ('X0', '01'), ('X1', '01')");
        db->execute(
            "insert into xsdzb (xsdid, chid, quantity1) values ('X0', 'C', 3), ('X1', 'A', 1), ('X1', 'B', "
            "2)");
    }
}

TEST_F(FaultInjection, AFailedCommitOrABusyBeginLeavesTheDatabaseAsItWas) {
    ChangePacket packet = mixedPacket();
    const std::string before = snapshot();
    for (Fault fault : {Fault::Error, Fault::Busy}) {
        FaultyConnection failingCommit(*db);
        failingCommit.failCommit(fault);
        EXPECT_ANY_THROW(apply(failingCommit, packet, -1));
        EXPECT_TRUE(failingCommit.injected());
        EXPECT_EQ(snapshot(), before);
        EXPECT_FALSE(db->inTransaction());
    }
    FaultyConnection busy(*db);
    busy.failBegin(Fault::Busy);
    EXPECT_ANY_THROW(apply(busy, packet, -1));
    EXPECT_EQ(busy.statements(), 0u);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(FaultInjection, ADeleteOfARowAlreadyGoneSucceedsAndOfAChangedOneFails) {
    // Another user deleted X0 with its line and one line of X1, and changed X1's other line.
    db->execute("delete from xsdzb where xsdid = 'X0'");
    db->execute("delete from xsdtb where xsdid = 'X0'");
    db->execute("delete from xsdzb where xsdid = 'X1' and chid = 'B'");
    db->execute("update xsdzb set quantity1 = 5 where xsdid = 'X1' and chid = 'A'");
    std::vector<std::vector<Variant>> held = linesOf(1);
    ChangeRecord x1{ChangeKind::Unmodified, 1, row(orders, 1), {}, {}};
    x1.nested.push_back({linesField,
                         {ChangeRecord{ChangeKind::Delete, 2, held[0], {}, {}},
                          ChangeRecord{ChangeKind::Delete, 3, held[1], {}, {}}}});
    ChangeRecord x0{ChangeKind::Delete, 4, row(orders, 0), {}, {}};
    FaultyConnection sound(*db);
    FailedRecordsPacket result = apply(sound, ChangePacket{fields(), {x1, x0}}, -1);
    // Only the line changed meanwhile fails; both deletes of rows already gone hold.
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_EQ(result.failed[0].path, (RecordPath{1, {{static_cast<uint16_t>(linesField), 2}}}));
    EXPECT_EQ(result.failed[0].message, ChangeApplier::kChangedByAnotherUser);
    EXPECT_FALSE(result.rolledBack);
    EXPECT_EQ(count("select count(*) from xsdzb where xsdid = 'X1' and chid = 'A' and quantity1 = 5"), 1);
    EXPECT_EQ(count("select count(*) from xsdtb where xsdid = 'X0'"), 0);
}

}  // namespace
}  // namespace velmora::server
