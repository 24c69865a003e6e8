#pragma once
// The real velmora-server as a child process on a free port and a temporary database, for every
// test that needs a server: unit-free, so Qt tests can use it as well as GoogleTest ones.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TestDatabase.h"

namespace velmora::test {

class ServerProcess {
  public:
    struct Options {
        bool demo = true;                    // --init-demo on a new database file
        std::vector<std::string> extraArgs;  // more options, e.g. --max-connections 2
        std::string databasePath;            // a database of the test's own (file or URI); default: a new one
    };

    // Starts the server and waits for its "listening on" line; throws when it does not come.
    ServerProcess();
    explicit ServerProcess(Options options);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    uint16_t port() const { return port_; }
    // "127.0.0.1:port", as the login's address box takes it.
    std::string address() const;
    // The server's --db: a SQLite file, or a PostgreSQL URI when the tests run on PostgreSQL.
    const std::string& databasePath() const { return dbPath_; }
    // Everything the server wrote to stderr so far.
    std::string log() const;
    // Sends SIGTERM and waits; returns the exit status (or -1 when it did not exit normally).
    int stop();
    // Starts the server again on the same database and port, as an administrator restarts it
    // (stopping it first when it runs); throws when it does not come up.
    void restart();
    bool running() const { return pid_ > 0; }

    // Runs one query on the server's database directly and returns the first column of every row
    // as text (NULL as "<null>").
    std::vector<std::string> query(const std::string& sql) const;
    std::string scalar(const std::string& sql) const;

    // Runs "velmora-server ARGS --db <this database>" to its end with input on its standard
    // input; returns its exit status and, when asked, what it wrote on standard output.
    int runCommand(const std::vector<std::string>& args, const std::string& input,
                   std::string* output = nullptr) const;
    // Adds a user as an administrator does, through the server program's user command.
    void addUser(const std::string& name, const std::string& password) const;
    // Runs statements that write on the server's database directly, as data entered on another
    // workstation; waits up to some seconds for the server's writers. Throws with the
    // database's message when a statement fails.
    void execute(const std::string& sql) const;

  private:
    // Runs the server with args and waits for its "listening on" line; sets pid_ and port_.
    void launch(std::vector<std::string> args);

    std::vector<std::string> args_;
    std::string dir_;
    std::unique_ptr<TestDatabase> db_;
    std::string dbPath_;
    std::string logPath_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

}  // namespace velmora::test
