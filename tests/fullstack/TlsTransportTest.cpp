// The client's transport thread over TLS: blocks that arrive together in one record are all
// handed on, although the socket has nothing more to say once the first is read.

#include <gtest/gtest.h>

#include <mutex>

#include "tests/fullstack/TlsHelpers.h"
#include "transport/TransportThread.h"

namespace velmora::test {
namespace {

// Completes a server handshake on an accepted socket, waiting as long as it takes.
bool serverHandshake(TlsStream& stream, int fd) {
    for (;;) {
        TlsStream::Result r = stream.handshake();
        if (r == TlsStream::Result::Done) return true;
        if (r != TlsStream::Result::WantRead && r != TlsStream::Result::WantWrite) return false;
        pollfd p{fd, static_cast<short>(r == TlsStream::Result::WantRead ? POLLIN : POLLOUT), 0};
        ::poll(&p, 1, 1000);
    }
}

TEST(TlsTransport, BlocksDecryptedTogetherAreAllHandedOnWithoutMoreBytesOnTheSocket) {
    TlsFiles files;
    std::shared_ptr<const TlsContext> serverContext = TlsContext::forServer({files.cert, files.key});
    SocketListener listener("127.0.0.1", 0);
    std::mutex lock;
    bool done = false;
    std::thread server([&] {
        int fd = listener.accept();
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        {
            TlsStream stream(serverContext, fd);
            ASSERT_TRUE(serverHandshake(stream, fd));
            // Three blocks in one write: one record, which the client decrypts at its first read.
            std::vector<uint8_t> bytes;
            for (const char* text : {"一", "二", "三"}) {
                DataBlock block(0xDA05);
                writeText(block, text);
                const Bytes& b = block.bytesForSending();
                bytes.insert(bytes.end(), b.begin(), b.begin() + b.size());
            }
            size_t put = 0;
            while (put < bytes.size()) {
                size_t moved = 0;
                if (stream.write(bytes.data() + put, bytes.size() - put, moved) == TlsStream::Result::Done)
                    put += moved;
                else
                    RawSocket(::dup(fd)).readable(10);
            }
            // The connection stays open and silent until the client has seen them.
            waitUntil(
                [&] {
                    std::lock_guard<std::mutex> guard(lock);
                    return done;
                },
                std::chrono::seconds(60));
        }
        ::close(fd);
    });

    auto transport = std::make_unique<SocketTransport>("", "127.0.0.1", listener.port());
    transport->setClientTls(TlsContext::forClient({}), [](const ServerCertificate&) { return true; });
    transport->setConnected(true);
    std::vector<std::string> received;
    TransportThread thread(std::move(transport), [&](TransportNotice n) {
        if (n.kind != TransportNotice::Kind::BlockReceived) return;
        std::lock_guard<std::mutex> guard(lock);
        received.push_back(readText(*n.block));
    });
    thread.start();
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> guard(lock);
        return received.size() == 3;
    }));
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(received, (std::vector<std::string>{"一", "二", "三"}));
        done = true;
    }
    thread.stop(std::chrono::milliseconds(1000));
    server.join();
}

}  // namespace
}  // namespace velmora::test
