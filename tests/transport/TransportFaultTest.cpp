// The transport thread over a socket that fails its Nth read or write, at every N of an exchange:
// the failure is told once, the thread ends, the peer sees the connection close, and every block
// before the failure went through in order while none after it did.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "tests/support/WaitUntil.h"
#include "tests/transport/TestPeers.h"
#include "transport/Errors.h"
#include "transport/SocketTransport.h"
#include "transport/TransportThread.h"

namespace velmora::test {
namespace {

// A real transport whose Nth send or receive (counted together, from 1) fails as a broken
// socket does: the call throws and the socket is closed, so the peer sees the end.
class FaultyTransport : public Transport {
  public:
    FaultyTransport(std::unique_ptr<Transport> real, size_t failing)
        : real_(std::move(real)), failing_(failing) {}
    bool connected() const override { return real_->connected(); }
    void setConnected(bool value) override { real_->setConnected(value); }
    int waitHandle() const override { return real_->waitHandle(); }
    int send(DataBlock& block) override {
        fault("Error writing to socket");
        return real_->send(block);
    }
    std::optional<DataBlock> receive(bool waitForInput, int context) override {
        fault("Error reading from socket");
        return real_->receive(waitForInput, context);
    }
    void abort() override { real_->abort(); }
    bool hasBufferedInput() const override { return real_->hasBufferedInput(); }

  private:
    void fault(const char* what) {
        if (++calls_ != failing_) return;
        real_->setConnected(false);
        throw SocketConnectionError(what);
    }
    std::unique_ptr<Transport> real_;
    size_t failing_;
    size_t calls_ = 0;
};

struct Exchange {
    RawServer server;
    std::unique_ptr<TransportThread> thread;
    std::optional<RawSocket> peer;
    std::mutex lock;
    std::vector<TransportNotice> notices;

    explicit Exchange(size_t failing) {
        auto real = std::make_unique<SocketTransport>("", "127.0.0.1", server.port());
        thread = std::make_unique<TransportThread>(
            std::make_unique<FaultyTransport>(std::move(real), failing), [this](TransportNotice n) {
                std::lock_guard<std::mutex> guard(lock);
                notices.push_back(std::move(n));
            });
        thread->start();
        peer.emplace(server.accept());
    }
    ~Exchange() { thread->stop(std::chrono::milliseconds(10000)); }
    std::vector<uint32_t> signatures(TransportNotice::Kind kind) {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<uint32_t> out;
        for (const TransportNotice& n : notices)
            if (n.kind == kind) out.push_back(n.block ? n.block->signature() : 0);
        return out;
    }
};

TEST(TransportFault, AReadOrWriteFailingAtAnyPointEndsTheThreadAfterExactlyTheBlocksBeforeIt) {
    constexpr uint32_t kEach = 3;  // blocks each way: six reads and writes in all
    for (size_t failing = 1; failing <= 2 * kEach; ++failing) {
        SCOPED_TRACE(failing);
        Exchange x(failing);
        for (uint32_t i = 1; i <= kEach; ++i) {
            DataBlock incoming(0xDB00 | i);
            try {
                x.peer->writeBlock(incoming);
            } catch (const std::exception&) {
                // the thread failed and closed the socket already
            }
            x.thread->postSend(DataBlock(0xDA00 | i), false);
        }
        ASSERT_TRUE(waitUntil([&] { return x.signatures(TransportNotice::Kind::Ended).size() == 1; }));
        EXPECT_EQ(x.signatures(TransportNotice::Kind::Error).size(), 1u);

        // What the peer got before the close, in order.
        std::vector<uint32_t> delivered;
        while (std::optional<DataBlock> block = x.peer->readBlock()) delivered.push_back(block->signature());
        std::vector<uint32_t> received = x.signatures(TransportNotice::Kind::BlockReceived);
        EXPECT_EQ(delivered.size() + received.size(), failing - 1);
        for (size_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i], 0xDA00 | (i + 1));
        for (size_t i = 0; i < received.size(); ++i) EXPECT_EQ(received[i], 0xDB00 | (i + 1));
        EXPECT_EQ(x.signatures(TransportNotice::Kind::Sent).size(), delivered.size());
        EXPECT_EQ(x.thread->borrow(), nullptr);
    }
}

TEST(TransportFault, ABorrowerWhoseReadFailsIsToldAndTheThreadEndsOnceTheSocketIsBack) {
    for (size_t failing : {1, 2}) {  // the borrower's write, then its read
        SCOPED_TRACE(failing);
        Exchange x(failing);
        Transport* lent = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (lent = x.thread->borrow()) != nullptr; }));
        DataBlock reply(0xDB01);
        x.peer->writeBlock(reply);
        DataBlock call(0xDA01);
        if (failing == 1) {
            EXPECT_THROW(lent->send(call), SocketConnectionError);
        } else {
            lent->send(call);
            EXPECT_THROW(lent->receive(true, 0), SocketConnectionError);
        }
        x.thread->giveBack();
        EXPECT_TRUE(waitUntil([&] { return x.signatures(TransportNotice::Kind::Ended).size() == 1; }));
        if (failing == 2) {
            std::optional<DataBlock> sent = x.peer->readBlock();  // the call went out first
            ASSERT_TRUE(sent);
            EXPECT_EQ(sent->signature(), 0xDA01u);
        }
        EXPECT_TRUE(x.peer->closedByPeer());
    }
}

}  // namespace
}  // namespace velmora::test
