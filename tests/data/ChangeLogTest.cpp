// The change log: what an apply sends, and how the answer is merged or kept.

#include "tests/data/DataSetFixture.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

class ChangeLogTest : public DataSetFixture {
  protected:
    void SetUp() override { kh.Open(); }

    void editName(int recNo, const std::string& name) {
        kh.setRecNo(recNo);
        kh.Edit();
        kh.FieldByName("khname").setAsString(name);
        kh.Post();
    }
    void insertCustomer(const std::string& code) {
        kh.Append();
        kh.FieldByName("khid").setAsString(code);
        kh.Post();
    }
    ChangePacket lastDelta() { return provider->callsOf("ApplyUpdates").back().delta; }
    // A record's kind and khid, as "I:06".
    static std::string summary(const ChangePacket& p) {
        std::string out;
        for (const ChangeRecord& r : p.records) {
            const auto& v = r.kind == ChangeKind::Delete ? r.original : r.values;
            out += (out.empty() ? "" : " ") + std::string("UIMD").substr(static_cast<size_t>(r.kind), 1) +
                   ":" + v[0].toString();
        }
        return out;
    }
    // Makes the provider fail the records whose khid is in codes.
    void failCodes(std::vector<std::string> codes, const std::string& message = "UNIQUE constraint failed") {
        provider->onApply = [codes, message](const ChangePacket& p, int32_t maxErrors, int32_t& errorCount) {
            FailedRecordsPacket result;
            for (const ChangeRecord& r : p.records) {
                const auto& v = r.kind == ChangeKind::Delete ? r.original : r.values;
                if (std::find(codes.begin(), codes.end(), v[0].toString()) == codes.end()) continue;
                result.failed.push_back({RecordPath{r.id, {}}, 19, message + " " + v[0].toString()});
                if (maxErrors >= 0 && static_cast<int32_t>(result.failed.size()) > maxErrors) {
                    result.rolledBack = true;
                    break;
                }
            }
            errorCount = static_cast<int32_t>(result.failed.size());
            return result;
        };
    }
};

TEST_F(ChangeLogTest, ServerValuesTakenAreShownLogNothingAndBecomeTheOriginals) {
    editName(4, "丁2");  // pending work elsewhere stays as it is
    kh.setRecNo(2);
    kh.TakeServerValues({{"khname", Variant("乙（审）")}});
    EXPECT_EQ(current("khname"), "乙（审）");
    EXPECT_EQ(kh.RecNo(), 2);
    EXPECT_EQ(kh.ChangeCount(), 1);
    editName(2, "乙3");
    kh.ApplyUpdates(-1);
    const ChangePacket& d = lastDelta();
    EXPECT_EQ(summary(d), "M:04 M:02");
    EXPECT_EQ(d.records[1].original[1], Variant("乙（审）"));
    kh.Edit();
    EXPECT_THROW(kh.TakeServerValues({{"khname", Variant("x")}}), VelmoraError);
    kh.Cancel();
    EXPECT_THROW(kh.TakeServerValues({{"nosuchfield", Variant("x")}}), VelmoraError);
}

TEST_F(ChangeLogTest, SendsInsertsEditsAndDeletesInTheOrderMade) {
    editName(2, "乙2");
    kh.setRecNo(4);
    kh.Delete();
    insertCustomer("06");
    editName(2, "乙3");  // a second edit of the same row stays one record
    EXPECT_EQ(kh.ChangeCount(), 3);
    kh.ApplyUpdates(-1);
    const ChangePacket& d = lastDelta();
    EXPECT_EQ(summary(d), "M:02 D:04 I:06");
    EXPECT_EQ(d.records[0].original[1], Variant("乙"));
    EXPECT_EQ(d.records[0].values[1], Variant("乙3"));
    EXPECT_EQ(d.records[1].original[1], Variant("丁"));
    EXPECT_TRUE(d.records[2].original.empty());
    EXPECT_TRUE(d.records[2].values[2].isNull());
}

TEST_F(ChangeLogTest, UndoneChangesSendNothing) {
    insertCustomer("06");
    kh.Delete();  // the insert never reaches the server
    kh.Edit();
    kh.FieldByName("khname").setAsString("x");
    kh.Cancel();
    EXPECT_EQ(kh.ChangeCount(), 0);
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_TRUE(provider->callsOf("ApplyUpdates").empty());
}

TEST_F(ChangeLogTest, CancelUpdatesRestoresEveryRowWhereItWas) {
    editName(1, "changed");
    kh.setRecNo(3);
    kh.Delete();
    insertCustomer("06");
    kh.Insert();
    kh.FieldByName("khid").setAsString("pending");
    kh.CancelUpdates();
    EXPECT_EQ(kh.State(), DataSetState::Browse);
    EXPECT_EQ(codes(kh), "01,02,03,04,05");
    EXPECT_EQ(codes(kh, "khname"), "甲,乙,丙,丁,戊");
    EXPECT_EQ(kh.ChangeCount(), 0);
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_TRUE(provider->callsOf("ApplyUpdates").empty());
}

TEST_F(ChangeLogTest, ApplyPostsThePendingEditFirst) {
    kh.setRecNo(5);
    kh.Edit();
    kh.FieldByName("tel").setAsString("555");
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(kh.State(), DataSetState::Browse);
    EXPECT_EQ(summary(lastDelta()), "M:05");
}

TEST_F(ChangeLogTest, ASuccessfulApplyMergesSoTheNextEditStartsFromTheNewValues) {
    editName(1, "first");
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(kh.ChangeCount(), 0);
    kh.setRecNo(2);
    kh.Delete();
    kh.ApplyUpdates(0);
    EXPECT_EQ(codes(kh), "01,03,04,05");
    editName(1, "second");
    kh.ApplyUpdates(0);
    EXPECT_EQ(lastDelta().records[0].original[1], Variant("first"));
    kh.CancelUpdates();
    EXPECT_EQ(codes(kh), "01,03,04,05");  // applied changes are no longer undone
    EXPECT_EQ(current("khname"), "second");
}

TEST_F(ChangeLogTest, FailedRecordsStayWithTheirErrorAndTheRestIsMerged) {
    failCodes({"03"});
    editName(2, "ok");
    editName(3, "refused");
    insertCustomer("06");
    EXPECT_EQ(kh.ApplyUpdates(-1), 1);
    EXPECT_EQ(kh.ChangeCount(), 1);
    kh.setRecNo(3);
    EXPECT_EQ(kh.UpdateError(), "UNIQUE constraint failed 03");
    EXPECT_EQ(current("khname"), "refused");
    kh.setRecNo(2);
    EXPECT_EQ(kh.UpdateError(), "");
    // The next apply sends only what failed.
    provider->onApply = nullptr;
    EXPECT_EQ(kh.ApplyUpdates(-1), 0);
    EXPECT_EQ(summary(lastDelta()), "M:03");
    EXPECT_EQ(kh.ChangeCount(), 0);
}

TEST_F(ChangeLogTest, ARolledBackApplyRaisesAndKeepsEveryRecord) {
    failCodes({"02"}, "changed by another user");
    editName(1, "a");
    editName(2, "b");
    EXPECT_THROW(
        {
            try {
                kh.ApplyUpdates(0);
            } catch (const VelmoraError& e) {
                EXPECT_STREQ(e.what(), "changed by another user 02");
                throw;
            }
        },
        VelmoraError);
    EXPECT_EQ(kh.ChangeCount(), 2);
    provider->onApply = nullptr;
    kh.ApplyUpdates(0);
    EXPECT_EQ(summary(lastDelta()), "M:01 M:02");
}

TEST_F(ChangeLogTest, FailuresWithinMaxErrorsAreCountedNotRaised) {
    failCodes({"01", "02"});
    editName(1, "a");
    editName(2, "b");
    editName(3, "c");
    EXPECT_EQ(kh.ApplyUpdates(2), 2);
    EXPECT_EQ(kh.ChangeCount(), 2);
    EXPECT_THROW(kh.ApplyUpdates(1), VelmoraError);
    EXPECT_EQ(kh.ChangeCount(), 2);
}

TEST_F(ChangeLogTest, FailuresCountedButNotNamedMergeNothing) {
    // A server that counts failures but sends no packet leaves no way to tell which records
    // were applied: every change stays, none is lost.
    provider->onApply = [](const ChangePacket&, int32_t, int32_t& errorCount) {
        errorCount = 2;
        return FailedRecordsPacket();
    };
    editName(1, "a");
    editName(2, "b");
    EXPECT_EQ(kh.ApplyUpdates(-1), 2);
    EXPECT_EQ(kh.ChangeCount(), 2);
    provider->onApply = nullptr;
    EXPECT_EQ(kh.ApplyUpdates(-1), 0);
    EXPECT_EQ(summary(lastDelta()), "M:01 M:02");
}

TEST_F(ChangeLogTest, AFailedRemoteCallKeepsTheWholeLog) {
    editName(1, "a");
    provider->failNext = "Socket error 10054";
    EXPECT_THROW(kh.ApplyUpdates(-1), RemoteError);
    EXPECT_EQ(kh.ChangeCount(), 1);
}

}  // namespace
}  // namespace velmora::test
