#include "transport/TransportThread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "transport/Errors.h"

namespace velmora {

TransportThread::TransportThread(std::unique_ptr<Transport> transport, NoticeSink sink)
    : transport_(std::move(transport)), sink_(std::move(sink)) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throw SocketConnectionError(std::strerror(errno));
}

TransportThread::~TransportThread() {
    if (thread_.joinable()) stop(std::chrono::milliseconds(0));
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void TransportThread::start() {
    thread_ = std::thread([this] { run(); });
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return running_ || ended_; });
}

void TransportThread::post(Message message) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back(std::move(message));
    }
    wake();
}

void TransportThread::postSend(DataBlock block, bool waitForResult) {
    Message m{Message::Kind::Send, std::move(block), waitForResult, nullptr};
    post(std::move(m));
}

void TransportThread::postReplaceTransport(std::unique_ptr<Transport> transport) {
    Message m{Message::Kind::ReplaceTransport, std::nullopt, false, std::move(transport)};
    post(std::move(m));
}

void TransportThread::stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) return;
    post(Message{Message::Kind::Stop, std::nullopt, false, nullptr});
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (!changed_.wait_for(guard, timeout, [this] { return ended_; }) && transport_) transport_->abort();
    }
    thread_.join();
}

void TransportThread::wake() {
    uint64_t one = 1;
    ssize_t rc = ::write(wakeFd_, &one, sizeof one);
    (void)rc;  // a full counter still wakes the thread
}

void TransportThread::drainWake() {
    uint64_t count;
    ssize_t rc = ::read(wakeFd_, &count, sizeof count);
    (void)rc;
}

Transport* TransportThread::borrow() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!serving_ || busy_ || lent_ || !queue_.empty()) return nullptr;
    lent_ = true;
    return transport_.get();
}

void TransportThread::giveBack() {
    bool wakeUp;
    {
        std::lock_guard<std::mutex> guard(lock_);
        lent_ = false;
        returned_ = std::chrono::steady_clock::now();
        // The thread, waiting without the socket, looks again when its quiet spell ends; what
        // cannot wait for that is a queued block or a socket a failed call closed.
        wakeUp = !transport_ || !transport_->connected() || !queue_.empty();
    }
    if (wakeUp) wake();
}

bool TransportThread::takeMessage(Message& out) {
    std::lock_guard<std::mutex> guard(lock_);
    busy_ = false;
    if (queue_.empty() || lent_) return false;
    out = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    return true;
}

void TransportThread::clearBusy() {
    std::lock_guard<std::mutex> guard(lock_);
    busy_ = false;
}

void TransportThread::handle(Message& message, bool& stopping) {
    switch (message.kind) {
        case Message::Kind::Send:
            transport_->send(*message.block);
            // A reply is picked up by the loop's next wait, like any other incoming block.
            if (!message.waitForResult) sink_({TransportNotice::Kind::Sent, std::nullopt, nullptr});
            break;
        case Message::Kind::ReplaceTransport: {
            // stop() and giveBack() look at the transport from other threads, under the lock; the
            // old one is closed after it is let go.
            std::unique_ptr<Transport> old;
            std::lock_guard<std::mutex> guard(lock_);
            old = std::exchange(transport_, std::move(message.transport));
            break;
        }
        case Message::Kind::Stop:
            stopping = true;
            break;
    }
}

void TransportThread::run() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        running_ = true;
    }
    changed_.notify_all();

    bool stopping = !openTransport();
    while (!stopping && transport_ && transport_->connected()) {
        try {
            serveOnce(stopping);
        } catch (const SocketConnectionError&) {
            clearBusy();
            transport_->setConnected(false);
            sink_({TransportNotice::Kind::Error, std::nullopt, std::current_exception()});
        } catch (...) {
            clearBusy();
            sink_({TransportNotice::Kind::Error, std::nullopt, std::current_exception()});
        }
    }
    finish();
}

bool TransportThread::openTransport() {
    try {
        // A connection opened by its caller already (an encrypted one, whose certificate the
        // caller had to judge on its own thread) is taken as it is.
        if (!transport_->connected()) transport_->setConnected(true);
        return true;
    } catch (...) {
        sink_({TransportNotice::Kind::Error, std::nullopt, std::current_exception()});
        return false;
    }
}

int TransportThread::beginWait() {
    std::lock_guard<std::mutex> guard(lock_);
    serving_ = true;
    auto quiet = std::chrono::steady_clock::now() - returned_;
    if (!lent_ && quiet >= kQuietSpell) return -1;
    auto left = lent_ ? kQuietSpell : std::chrono::ceil<std::chrono::milliseconds>(kQuietSpell - quiet);
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(1, left.count()));
}

void TransportThread::serveOnce(bool& stopping) {
    int timeoutMs = beginWait();
    // Decrypted bytes waiting in the transport never make its descriptor readable.
    bool buffered = timeoutMs < 0 && transport_->hasBufferedInput();
    // poll passes over a negative descriptor: while the socket is lent or was just given back,
    // only a wake or the end of the spell counts.
    pollfd fds[2] = {{timeoutMs < 0 ? transport_->waitHandle() : -1, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int rc = ::poll(fds, 2, buffered ? 0 : timeoutMs);
    if (rc == 0 && !buffered) return;
    if (rc < 0) {
        if (errno == EINTR) return;
        throw SocketConnectionError(std::strerror(errno));
    }
    if (fds[1].revents) {
        drainWake();
        Message message;
        while (!stopping && takeMessage(message)) handle(message, stopping);
    }
    if (!stopping && (fds[0].revents || buffered) && transport_->connected()) receiveArrived();
}

void TransportThread::receiveArrived() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (lent_) return;  // the borrower reads what arrived
        busy_ = true;
    }
    std::optional<DataBlock> block = transport_->receive(false, 0);
    clearBusy();
    if (block) sink_({TransportNotice::Kind::BlockReceived, std::move(block), nullptr});
}

void TransportThread::finish() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        serving_ = false;
    }
    if (transport_) transport_->setConnected(false);
    {
        std::lock_guard<std::mutex> guard(lock_);
        ended_ = true;
    }
    changed_.notify_all();
    sink_({TransportNotice::Kind::Ended, std::nullopt, nullptr});
}

}  // namespace velmora
