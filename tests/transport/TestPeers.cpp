#include "tests/transport/TestPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace velmora::test {

LoopbackServer::LoopbackServer(const ClassRegistry& classes, ServerConnectionRules rules)
    : classes_(classes), rules_(rules), listener_("127.0.0.1", 0), acceptor_([this] { acceptLoop(); }) {}

LoopbackServer::~LoopbackServer() {
    listener_.stop();
    acceptor_.join();
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto& c : connections_) c->stop();
    }
    for (auto& t : threads_) t.join();
}

std::vector<std::string> LoopbackServer::failures() const {
    std::lock_guard<std::mutex> guard(lock_);
    return failures_;
}

void LoopbackServer::acceptLoop() {
    for (;;) {
        int fd = listener_.accept();
        if (fd < 0) return;
        auto connection = std::make_unique<ServerConnection>(SocketTransport::adopt(fd), classes_, rules_);
        ServerConnection* c = connection.get();
        std::lock_guard<std::mutex> guard(lock_);
        connections_.push_back(std::move(connection));
        threads_.emplace_back([this, c] {
            try {
                c->run();
            } catch (const std::exception& e) {
                std::lock_guard<std::mutex> g(lock_);
                failures_.push_back(e.what());
            }
            ++served_;
        });
    }
}

}  // namespace velmora::test
