#pragma once
// velmora-server's own listener run in a child process of the bench, on the options given.

#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill is POSIX
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "server/SocketServer.h"

namespace velmora::bench {

// velmora-server's SocketServer in a child process of its own, so that the client's memory is
// measured without the server's.
class ServerChild {
  public:
    explicit ServerChild(const server::ServerOptions& options) {
        int fds[2];
        if (pipe(fds) != 0) std::exit(1);
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ < 0) std::exit(1);
        if (pid_ == 0) {
            close(fds[0]);
            server::SocketServer server(options);
            uint16_t port = server.port();
            if (write(fds[1], &port, sizeof port) != sizeof port) _exit(1);
            close(fds[1]);
            server.run();
            _exit(0);
        }
        close(fds[1]);
        if (read(fds[0], &port_, sizeof port_) != sizeof port_) {
            std::fprintf(stderr, "the server did not start\n");
            std::exit(1);
        }
        close(fds[0]);
    }
    ~ServerChild() { stop(); }
    ServerChild(const ServerChild&) = delete;
    ServerChild& operator=(const ServerChild&) = delete;

    uint16_t port() const { return port_; }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);  // every apply was acknowledged, so committed, before this
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

}  // namespace velmora::bench
