// The interpreter on both ends of a real loopback TCP connection: SocketConnection on the client
// side, ServerConnection serving the test classes on the other.

#include <gtest/gtest.h>

#include <thread>

#include "tests/transport/TestObjects.h"
#include "tests/transport/TestPeers.h"
#include "transport/DataDispatch.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"

namespace velmora::test {
namespace {

class InterpreterOverSocket : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        connection.setSupportCallbacks(GetParam());
        connection.setAddress("127.0.0.1");
        connection.setPort(server.port());
        connection.setServerGUID(kCalculatorClassId);
        connection.open();
        calc = std::make_unique<DispatchAppServer>(connection.appServer().dispatchValue());
    }

    Variant call(const char* name, std::vector<Variant> args) {
        std::vector<int32_t> ids;
        EXPECT_EQ(calc->dispatch()->getIDsOfNames({name}, 0, ids), kOk);
        DispParams params;
        params.args.assign(args.rbegin(), args.rend());
        Variant result;
        ExcepInfo excep;
        checkInvokeStatus(calc->dispatch()->invoke(ids[0], 0, kDispatchMethod, params, &result, &excep),
                          excep);
        return result;
    }

    ClassRegistry classes = calculatorClasses();
    LoopbackServer server{classes};
    SocketConnection connection;
    std::unique_ptr<DispatchAppServer> calc;
};

TEST_P(InterpreterOverSocket, CreatesTheServerObjectAndCallsIt) {
    EXPECT_TRUE(connection.connected());
    EXPECT_EQ(call("Add", {Variant(2), Variant(40)}), Variant(42));
    EXPECT_EQ(call("add", {Variant::smallInt(-2), Variant(2)}), Variant(0));  // names ignore case
}

TEST_P(InterpreterOverSocket, EveryValueTypeRoundTripsThroughAnInvoke) {
    SafeArray mixed;
    mixed.elementType = VarType::Variant;
    mixed.bounds.push_back({0, 2});
    mixed.items = {Variant("客户"), Variant(3), Variant::byteArray(Bytes("ab", 2))};
    std::vector<Variant> values = {Variant(),
                                   Variant::null(),
                                   Variant::smallInt(7),
                                   Variant(123456),
                                   Variant::single(0.25f),
                                   Variant(-1e300),
                                   Variant::currency(99990000),
                                   Variant::date(37621.25),
                                   Variant(""),
                                   Variant("销售发票号重复"),
                                   Variant::error(5),
                                   Variant(true),
                                   Variant::byte(0),
                                   Variant::byteArray(Bytes()),
                                   Variant::byteArray(Bytes("\0\1\2", 3)),
                                   Variant::array(mixed)};
    for (const Variant& v : values) EXPECT_EQ(call("Echo", {v}), v) << "tag " << v.tag();
}

TEST_P(InterpreterOverSocket, ByReferenceArgumentsComeBackBeforeTheResult) {
    std::vector<int32_t> ids;
    ASSERT_EQ(calc->dispatch()->getIDsOfNames({"Combine"}, 0, ids), kOk);
    DispParams params;
    Variant b(0);
    b.setRef(RefKind::Typed);
    params.args = {Variant(5), b, Variant(4)};  // dispatch order: c, b, a
    Variant result;
    ExcepInfo excep;
    ASSERT_EQ(calc->dispatch()->invoke(ids[0], 0, kDispatchMethod, params, &result, &excep), kOk);
    EXPECT_EQ(params.args[1], Variant(45));
    EXPECT_EQ(params.args[1].ref(), RefKind::Typed);
    EXPECT_EQ(params.args[0], Variant(5));
    EXPECT_EQ(result, Variant("done"));
}

TEST_P(InterpreterOverSocket, UnknownNamesAndFailingMembersReportTheirStatus) {
    std::vector<int32_t> ids;
    EXPECT_EQ(calc->dispatch()->getIDsOfNames({"Nothing"}, 0, ids), kDispUnknownName);
    EXPECT_EQ(calc->dispatch()->getIDsOfNames({"Add", "Echo"}, 0, ids), kNotImplemented);
    try {
        call("Fail", {Variant("磁盘已满")});
        FAIL() << "no error";
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "磁盘已满");
    }
    DispParams params;
    ExcepInfo excep;
    EXPECT_EQ(calc->dispatch()->invoke(999, 0, kDispatchMethod, params, nullptr, &excep),
              kDispMemberNotFound);
    EXPECT_THROW(checkInvokeStatus(kDispMemberNotFound, excep), RemoteError);
    std::vector<Variant> none;
    try {
        calc->callByName("Nope", none);
        FAIL() << "no error";
    } catch (const VelmoraError& e) {
        EXPECT_STREQ(e.what(), "Method 'Nope' not supported by automation object");
    }
    // The connection keeps serving after every failure.
    EXPECT_EQ(call("Add", {Variant(1), Variant(1)}), Variant(2));
}

TEST_P(InterpreterOverSocket, ServerCallsTheClientBackWhileTheClientWaits) {
    auto doubler = std::make_shared<Doubler>();
    EXPECT_EQ(call("CallBack", {Variant(DispatchPtr(doubler)), Variant(21)}), Variant(42));
    EXPECT_EQ(doubler->calls, 1);
    EXPECT_EQ(call("CallBack", {Variant(DispatchPtr(doubler)), Variant(-4)}), Variant(-8));
    EXPECT_EQ(doubler->calls, 2);
}

TEST_P(InterpreterOverSocket, ObjectTableGrowsPastElevenAndReusesAFreedSlotFirst) {
    std::vector<DispatchPtr> children;
    for (int i = 0; i < 12; ++i) children.push_back(call("MakeChild", {}).dispatchValue());
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(std::static_pointer_cast<DataDispatch>(children[i])->index(), i + 1);
    EXPECT_EQ(call("Alive", {}), Variant(13));

    children[2].reset();  // slot 3 is freed on the server, without a reply
    EXPECT_EQ(call("Alive", {}), Variant(12));
    DispatchPtr again = call("MakeChild", {}).dispatchValue();
    EXPECT_EQ(std::static_pointer_cast<DataDispatch>(again)->index(), 3);

    DispatchAppServer child(children[11]);
    std::vector<Variant> args{Variant(1), Variant(2)};
    EXPECT_NO_THROW(child.callByName("Add", args));
}

TEST_P(InterpreterOverSocket, ClosingFreesTheServerObjectAndLaterCallsFail) {
    EXPECT_EQ(call("Alive", {}), Variant(1));
    DispatchAppServer stale(call("MakeChild", {}).dispatchValue());
    calc.reset();
    connection.close();
    EXPECT_FALSE(connection.connected());
    std::vector<Variant> args{Variant(1), Variant(2)};
    EXPECT_THROW(stale.callByName("Add", args), SocketConnectionError);

    // The free request went out before the socket closed: a second client soon sees only its own
    // server object alive.
    SocketConnection probe;
    probe.setAddress("127.0.0.1");
    probe.setPort(server.port());
    probe.setServerName(kCalculatorProgId);
    probe.open();
    DispatchAppServer fresh(probe.appServer().dispatchValue());
    std::vector<int32_t> ids;
    ASSERT_EQ(fresh.dispatch()->getIDsOfNames({"Alive"}, 0, ids), kOk);
    Variant alive;
    for (int attempt = 0; attempt < 500; ++attempt) {
        DispParams params;
        ExcepInfo excep;
        ASSERT_EQ(fresh.dispatch()->invoke(ids[0], 0, kDispatchMethod, params, &alive, &excep), kOk);
        if (alive == Variant(2)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(alive, Variant(2));  // the probe's own and the child that could not be freed any more
}

TEST_P(InterpreterOverSocket, ClassListingsAndRefusedClasses) {
    Variant servers = connection.interpreter()->callGetServerList();
    ASSERT_TRUE(servers.isArray());
    ASSERT_EQ(servers.arrayValue().items.size(), 1u);
    EXPECT_EQ(servers.arrayValue().items[0], Variant(kCalculatorProgId));
    try {
        connection.interpreter()->callCreateObject("velmora.hidden");
        FAIL() << "created a class that is not creatable over a socket";
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "Object not available: velmora.hidden");
    }
    EXPECT_THROW(connection.interpreter()->callCreateObject("{00000000-0000-0000-0000-000000000000}"),
                 RemoteError);
}

TEST_P(InterpreterOverSocket, LargeByteArraysArriveWhole) {
    Bytes big(24u << 20);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31 + 7);
    Variant back = call("Echo", {Variant::byteArray(big)});
    ASSERT_TRUE(back.isByteArray());
    EXPECT_TRUE(back.bytes() == big);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutCallbacks, InterpreterOverSocket, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "TransportThread" : "CallingThread";
                         });

// A client object that, when the server calls it back, calls the server again: each round
// serves one request more inside the waits below it.
class Recurser : public DispatchObject {
  public:
    explicit Recurser(std::function<void(DispatchCall&)> handler) {
        addMember(1, "Twice", 2, std::move(handler));
    }
};

TEST_P(InterpreterOverSocket, CallsNestedWithinWaitsEndAtTheDepthLimitAndTheConnectionGoesOn) {
    int depth = 0, deepest = 0;
    std::weak_ptr<Recurser> self;
    auto recurser = std::make_shared<Recurser>([&](DispatchCall& c) {
        deepest = std::max(deepest, ++depth);
        struct Leave {
            int& d;
            ~Leave() { --d; }
        } leave{depth};
        call("CallBack", {Variant(DispatchPtr(self.lock())), c.arg(0)});
    });
    self = recurser;
    EXPECT_THROW(call("CallBack", {Variant(DispatchPtr(recurser)), Variant(1)}), RemoteError);
    EXPECT_GE(deepest, 2);
    EXPECT_LE(deepest, DataBlockInterpreter::kMaxServeDepth + 1);
    EXPECT_EQ(call("Add", {Variant(2), Variant(3)}), Variant(5));
}

TEST_P(InterpreterOverSocket, MoreObjectReferencesThanOneBlockMayCarryAreRefused) {
    auto doubler = std::make_shared<Doubler>();
    SafeArray many;
    many.elementType = VarType::Variant;
    int count = DataBlockInterpreter::kMaxReferencesPerBlock + 1;
    many.bounds.push_back({0, count - 1});
    for (int i = 0; i < count; ++i) many.items.emplace_back(DispatchPtr(doubler));
    try {
        call("Echo", {Variant::array(std::move(many))});
        FAIL() << "accepted";
    } catch (const RemoteError& e) {
        EXPECT_STREQ(e.what(), "More than 256 object references in one block");
    }
    EXPECT_EQ(call("Add", {Variant(2), Variant(3)}), Variant(5));
}

TEST(ObjectTable, StartsWithElevenSlotsAndGrowsByTenPastTheNeededIndex) {
    struct NullSender : SendDataBlock {
        std::optional<DataBlock> send(DataBlock, bool) override { return std::nullopt; }
    } sender;
    DataBlockInterpreter interpreter(sender, nullptr);
    EXPECT_EQ(interpreter.objectTableSize(), 11u);
    auto object = std::make_shared<Doubler>();
    for (int i = 0; i < 11; ++i) EXPECT_EQ(interpreter.exportObject(object), i);
    EXPECT_EQ(interpreter.exportObject(object), 11);
    EXPECT_EQ(interpreter.objectTableSize(), 22u);
    DataBlock freeFive(requestSignature(Action::FreeObject));
    writeInteger(freeFive, 5);
    interpreter.interpretData(freeFive);
    DataBlock freeOutOfRange(requestSignature(Action::FreeObject));
    writeInteger(freeOutOfRange, 500);
    interpreter.interpretData(freeOutOfRange);
    EXPECT_EQ(interpreter.exportObject(object), 5);
}

}  // namespace
}  // namespace velmora::test
