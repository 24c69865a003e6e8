#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "transport/DataBlock.h"
#include "transport/Transport.h"

namespace velmora {

// What the transport thread tells the connection.
struct TransportNotice {
    enum class Kind { BlockReceived, Error, Sent, Ended };
    Kind kind;
    std::optional<DataBlock> block;
    std::exception_ptr error;
};

// The background thread that touches the socket while callbacks are on. It takes blocks to send
// from its queue and hands every received block, every sent notice and every failure to the
// sink, in order, from its own thread. While it is idle it may lend the socket to a caller for
// one call, which then sends and reads its reply itself: two thread hand-offs fewer per call.
// While calls keep coming, the thread leaves the socket to them and looks at it again only after
// a short quiet spell, so that neither a reply meant for a caller nor the socket's return wakes
// it: a wake-up costs as much as the call's own work.
class TransportThread {
  public:
    using NoticeSink = std::function<void(TransportNotice)>;

    TransportThread(std::unique_ptr<Transport> transport, NoticeSink sink);
    ~TransportThread();
    TransportThread(const TransportThread&) = delete;
    TransportThread& operator=(const TransportThread&) = delete;

    // Starts the thread and returns once its queue exists; the thread then opens the transport.
    void start();
    void postSend(DataBlock block, bool waitForResult);
    void postReplaceTransport(std::unique_ptr<Transport> transport);
    // The transport, lent to the calling thread until giveBack(), when the thread is serving
    // the socket with nothing queued and nothing under way; else null (post the block instead).
    // Meanwhile the thread neither reads nor writes, and blocks posted wait for the return.
    Transport* borrow();
    // Ends a borrow(); the thread watches the socket again after kQuietSpell without calls (and
    // ends if it was closed).
    void giveBack();
    // Asks the thread to stop after what is queued and waits up to timeout for it; past that the
    // socket is shut down under it. Always joins.
    void stop(std::chrono::milliseconds timeout);

    // How long after a call the thread leaves the socket unwatched; a block the server sends
    // on its own in that time is handed on at most this late.
    static constexpr std::chrono::milliseconds kQuietSpell{20};

  private:
    struct Message {
        enum class Kind { Send, ReplaceTransport, Stop } kind;
        std::optional<DataBlock> block;
        bool waitForResult = false;
        std::unique_ptr<Transport> transport;
    };

    void run();
    // Takes a transport its caller opened as it is, else opens it; false (and the failure told to
    // the sink) when that fails.
    bool openTransport();
    // One wait on the socket and the queue, and what it brought: queued messages handled, an
    // arrived block read and handed on.
    void serveOnce(bool& stopping);
    // Marks the thread serving; returns how long the wait may last (-1: until something happens)
    // while the socket is lent or its quiet spell lasts.
    int beginWait();
    void receiveArrived();
    // Leaves the loop: the transport closed, the thread marked ended, the sink told.
    void finish();
    void post(Message message);
    // The next message to handle, when there is one and the socket is not lent; marks the
    // thread busy until the next call.
    bool takeMessage(Message& out);
    void clearBusy();
    void handle(Message& message, bool& stopping);
    void wake();
    void drainWake();

    std::unique_ptr<Transport> transport_;
    NoticeSink sink_;
    std::thread thread_;
    int wakeFd_ = -1;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Message> queue_;
    bool running_ = false;
    bool ended_ = false;
    bool serving_ = false;                            // connected and in the loop
    bool busy_ = false;                               // sending or reading
    bool lent_ = false;                               // borrowed by a caller
    std::chrono::steady_clock::time_point returned_;  // when the last borrower gave the socket back
};

}  // namespace velmora
