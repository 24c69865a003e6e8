// The provider interface end to end: DispatchAppServer on the client invoking the fixed member
// numbers, ProviderDispatch on the server unpacking them for a provider that records each call.

#include <gtest/gtest.h>

#include "tests/transport/TestPeers.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/ProviderDispatch.h"
#include "transport/SocketConnection.h"

namespace velmora::test {
namespace {

struct RecordedCall {
    std::string member, provider, commandText;
    int32_t count = 0, options = 0, maxErrors = 0;
    Variant data;
};

class RecordingProvider : public IProviderServer {
  public:
    Variant RemoteApplyUpdates(const std::string& provider, const Variant& delta, int32_t maxErrors,
                               int32_t& errorCount, Variant& ownerData) override {
        calls.push_back({"ApplyUpdates", provider, "", 0, 0, maxErrors, delta});
        errorCount = 2;
        ownerData = Variant("owner");
        return Variant::byteArray(Bytes("failed", 6));
    }
    Variant RemoteGetRecords(const std::string& provider, int32_t count, int32_t& recsOut, int32_t options,
                             const std::string& commandText, Variant& params, Variant&) override {
        calls.push_back({"GetRecords", provider, commandText, count, options, 0, params});
        recsOut = 3;
        return Variant::byteArray(Bytes("rows", 4));
    }
    Variant RemoteDataRequest(const std::string& provider, const Variant& data) override {
        calls.push_back({"DataRequest", provider, "", 0, 0, 0, data});
        return data;
    }
    Variant RemoteGetProviderNames() override {
        calls.push_back({"GetProviderNames", "", "", 0, 0, 0, Variant()});
        SafeArray a;
        a.elementType = VarType::Variant;
        a.bounds.push_back({0, 0});
        a.items = {Variant("DataSetProviderkh")};
        return Variant::array(a);
    }
    Variant RemoteGetParams(const std::string& provider, Variant&) override {
        calls.push_back({"GetParams", provider, "", 0, 0, 0, Variant()});
        return Variant::null();
    }
    Variant RemoteRowRequest(const std::string& provider, const Variant& row, int32_t requestType,
                             Variant&) override {
        calls.push_back({"RowRequest", provider, "", requestType, 0, 0, row});
        return Variant();
    }
    void RemoteExecute(const std::string& provider, const std::string& commandText, Variant&,
                       Variant&) override {
        calls.push_back({"Execute", provider, commandText, 0, 0, 0, Variant()});
        if (commandText == "bad") throw std::runtime_error("near \"bad\": syntax error");
    }
    std::vector<RecordedCall> calls;
};

class AppServerObject : public ProviderDispatch {
  public:
    explicit AppServerObject(IProviderServer& provider) : ProviderDispatch(provider) {
        addMember(1, "GetSysTime", 1,
                  [](DispatchCall& c) { c.arg(0).assignKeepingRef(Variant::date(37621.5)); });
        addMember(2, "AddUser", 4, [this](DispatchCall& c) {
            for (size_t i = 0; i < 4; ++i) logins.push_back(c.arg(i).toString());
        });
    }
    std::vector<std::string> logins;
};

class ProviderCalls : public ::testing::Test {
  protected:
    ProviderCalls() {
        classes.add({"{276F7104-2B30-4414-AD12-DE1160EAA8D1}", "brandolex.test", true, true,
                     [this] { return object; }});
        connection.setServerGUID("{276F7104-2B30-4414-AD12-DE1160EAA8D1}");
        connection.setAddress("127.0.0.1");
        connection.setPort(server.port());
    }

    RecordingProvider provider;
    std::shared_ptr<AppServerObject> object = std::make_shared<AppServerObject>(provider);
    ClassRegistry classes;
    LoopbackServer server{classes};
    SocketConnection connection;
};

TEST_F(ProviderCalls, GetRecordsAndApplyUpdatesCarryTheirArgumentsBothWays) {
    auto app = connection.getServer();  // opens the connection first
    EXPECT_TRUE(connection.connected());
    int32_t recsOut = 0;
    Variant params, ownerData;
    Variant rows =
        app->RemoteGetRecords("DataSetProviderch", -1, recsOut, 1, "select * from ch", params, ownerData);
    EXPECT_EQ(rows.bytes(), Bytes("rows", 4));
    EXPECT_EQ(recsOut, 3);

    int32_t errorCount = 0;
    Variant delta = Variant::byteArray(Bytes("delta", 5));
    Variant failed = app->RemoteApplyUpdates("DataSetProviderkh", delta, -1, errorCount, ownerData);
    EXPECT_EQ(errorCount, 2);
    EXPECT_EQ(ownerData, Variant("owner"));
    EXPECT_EQ(failed.bytes(), Bytes("failed", 6));

    ASSERT_EQ(provider.calls.size(), 2u);
    EXPECT_EQ(provider.calls[0].provider, "DataSetProviderch");
    EXPECT_EQ(provider.calls[0].count, -1);
    EXPECT_EQ(provider.calls[0].options, 1);
    EXPECT_EQ(provider.calls[0].commandText, "select * from ch");
    EXPECT_EQ(provider.calls[1].maxErrors, -1);
    EXPECT_EQ(provider.calls[1].data, delta);
}

TEST_F(ProviderCalls, TheOtherMembersReachTheProvider) {
    auto app = connection.getServer();
    Variant names = app->RemoteGetProviderNames();
    EXPECT_EQ(names.arrayValue().items[0], Variant("DataSetProviderkh"));
    Variant ownerData, params;
    EXPECT_TRUE(app->RemoteGetParams("DataSetProviderkh", ownerData).isNull());
    EXPECT_EQ(app->RemoteDataRequest("DataSetProviderkh", Variant(5)), Variant(5));
    app->RemoteRowRequest("DataSetProviderkh", Variant("row"), 4, ownerData);
    app->RemoteExecute("DataSetProviderhz", "update user1 set password1='x'", params, ownerData);
    ASSERT_EQ(provider.calls.size(), 5u);
    EXPECT_EQ(provider.calls[3].count, 4);
    EXPECT_EQ(provider.calls[4].commandText, "update user1 set password1='x'");
    try {
        app->RemoteExecute("DataSetProviderhz", "bad", params, ownerData);
        FAIL();
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "near \"bad\": syntax error");
    }
}

TEST_F(ProviderCalls, MembersByNameAndTheArgumentLimit) {
    auto app = connection.getServer();
    Variant time;
    app->GetSysTime(time);
    EXPECT_EQ(time, Variant::date(37621.5));
    std::string computer = "工作站1", address = "192.168.1.5", user = "王明", when = "2002-12-31 09:00:00";
    app->AddUser(computer, address, user, when);
    EXPECT_EQ(object->logins,
              (std::vector<std::string>{"工作站1", "192.168.1.5", "王明", "2002-12-31 09:00:00"}));
    try {
        app->DelUser(computer, address, user, when);
        FAIL();
    } catch (const VelmoraError& e) {
        EXPECT_STREQ(e.what(), "Method 'DelUser' not supported by automation object");
    }
    std::vector<Variant> many(65, Variant(1));
    try {
        app->callByName("GetSysTime", many);
        FAIL();
    } catch (const VelmoraError& e) {
        EXPECT_STREQ(e.what(), "Dispatch methods do not support more than 64 parameters");
    }
}

}  // namespace
}  // namespace velmora::test
