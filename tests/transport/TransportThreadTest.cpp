// The transport thread lending its socket to a caller: the borrower alone reads and writes, blocks
// posted meanwhile wait their turn, order is kept, and the thread serves the socket again after.

#include "transport/TransportThread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "tests/support/WaitUntil.h"
#include "tests/transport/TestPeers.h"
#include "transport/Errors.h"
#include "transport/SocketTransport.h"

namespace velmora::test {
namespace {

class LentSocket : public ::testing::Test {
  protected:
    LentSocket() {
        thread = std::make_unique<TransportThread>(
            std::make_unique<SocketTransport>("", "127.0.0.1", raw.port()), [this](TransportNotice n) {
                std::lock_guard<std::mutex> guard(lock);
                notices.push_back(std::move(n));
            });
        thread->start();
        peer.emplace(raw.accept());
    }
    ~LentSocket() override { thread->stop(std::chrono::milliseconds(10000)); }

    // Borrows once the thread has connected and serves the socket.
    Transport* borrowWhenServing() {
        Transport* lent = nullptr;
        waitUntil([&] { return (lent = thread->borrow()) != nullptr; });
        return lent;
    }
    size_t noticesOf(TransportNotice::Kind kind) {
        std::lock_guard<std::mutex> guard(lock);
        size_t n = 0;
        for (const TransportNotice& notice : notices) n += notice.kind == kind ? 1 : 0;
        return n;
    }
    static DataBlock request(uint32_t action) { return DataBlock(0xDA00 | action); }

    RawServer raw;
    std::optional<RawSocket> peer;
    std::unique_ptr<TransportThread> thread;
    std::mutex lock;
    std::vector<TransportNotice> notices;
};

TEST_F(LentSocket, TheBorrowerAloneReadsAndPostedBlocksWaitUntilItGivesTheSocketBack) {
    Transport* lent = borrowWhenServing();
    ASSERT_NE(lent, nullptr);
    EXPECT_EQ(thread->borrow(), nullptr);  // lent once at a time

    DataBlock reply(0xDB02);
    peer->writeBlock(reply);
    std::optional<DataBlock> got = lent->receive(true, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->signature(), 0xDB02u);
    DataBlock mine = request(2);
    lent->send(mine);

    DataBlock posted = request(3);
    thread->postSend(std::move(posted), false);
    EXPECT_EQ(thread->borrow(), nullptr);
    thread->giveBack();
    ASSERT_EQ(peer->readBlock()->signature(), 0xDA02u);
    ASSERT_EQ(peer->readBlock()->signature(), 0xDA03u);  // sent by the thread once given back
    EXPECT_TRUE(waitUntil([&] { return noticesOf(TransportNotice::Kind::Sent) == 1; }));

    // The thread reads the socket again.
    DataBlock unsolicited(0xDA10);
    peer->writeBlock(unsolicited);
    EXPECT_TRUE(waitUntil([&] { return noticesOf(TransportNotice::Kind::BlockReceived) == 1; }));
    EXPECT_EQ(noticesOf(TransportNotice::Kind::Error), 0u);
}

TEST_F(LentSocket, ABlockPostedBeforeABorrowIsSentFirst) {
    ASSERT_NE(borrowWhenServing(), nullptr);
    thread->giveBack();
    for (uint32_t action = 1; action <= 20; ++action) {
        thread->postSend(request(2 * action), false);
        if (Transport* lent = thread->borrow()) {
            DataBlock second = request(2 * action + 1);
            lent->send(second);
            thread->giveBack();
        } else {
            thread->postSend(request(2 * action + 1), false);
        }
    }
    for (uint32_t action = 2; action <= 41; ++action) {
        std::optional<DataBlock> block = peer->readBlock();
        ASSERT_TRUE(block);
        EXPECT_EQ(block->signature(), 0xDA00 | action);
    }
}

TEST_F(LentSocket, ASocketThatFailsWhileLentEndsTheThreadOnceGivenBack) {
    Transport* lent = borrowWhenServing();
    ASSERT_NE(lent, nullptr);
    peer->close();
    EXPECT_THROW(lent->receive(true, 0), SocketConnectionError);
    thread->giveBack();
    EXPECT_TRUE(waitUntil([&] { return noticesOf(TransportNotice::Kind::Ended) == 1; }));
    EXPECT_EQ(thread->borrow(), nullptr);
}

TEST_F(LentSocket, APeerThatHangsUpRightAfterACallIsNoticedOnceTheQuietSpellEnds) {
    // Given back with nothing to do, the thread waits without the socket for a while; it must
    // still come back to the socket and see it closed.
    ASSERT_NE(borrowWhenServing(), nullptr);
    thread->giveBack();
    peer->close();
    EXPECT_TRUE(waitUntil([&] { return noticesOf(TransportNotice::Kind::Ended) == 1; }));
    EXPECT_EQ(noticesOf(TransportNotice::Kind::BlockReceived), 0u);
}

}  // namespace
}  // namespace velmora::test
