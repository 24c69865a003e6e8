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

// The background thread that alone touches the socket while callbacks are on. It takes blocks to
// send from its queue and hands every received block, every sent notice and every failure to the
// sink, in order, from its own thread.
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
    // Asks the thread to stop after what is queued and waits up to timeout for it; past that the
    // socket is shut down under it. Always joins.
    void stop(std::chrono::milliseconds timeout);

  private:
    struct Message {
        enum class Kind { Send, ReplaceTransport, Stop } kind;
        std::optional<DataBlock> block;
        bool waitForResult = false;
        std::unique_ptr<Transport> transport;
    };

    void run();
    void post(Message message);
    bool takeMessage(Message& out);
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
};

}  // namespace velmora
