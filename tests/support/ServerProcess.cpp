#include "tests/support/ServerProcess.h"
#include "tests/support/WaitUntil.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef VELMORA_SERVER_PATH
#error "VELMORA_SERVER_PATH must name the velmora-server binary"
#endif

namespace velmora::test {

namespace {

// The program under test: the build's own, or an installed one named by VELMORA_TEST_SERVER (the
// package test runs the same tests against the packaged program).
std::string serverProgram() {
    const char* installed = std::getenv("VELMORA_TEST_SERVER");
    return installed && *installed ? installed : VELMORA_SERVER_PATH;
}

}  // namespace

ServerProcess::ServerProcess() : ServerProcess(Options{}) {}

ServerProcess::ServerProcess(Options options) {
    char pattern[] = "/tmp/velmora-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    db_ =
        options.databasePath.empty() ? TestDatabase::create(dir_) : TestDatabase::open(options.databasePath);
    dbPath_ = db_->location();
    logPath_ = dir_ + "/server.log";

    std::vector<std::string> args = {serverProgram(), "--port", "0",    "--listen",
                                     "127.0.0.1",     "--db",   dbPath_};
    if (options.demo) args.push_back("--init-demo");
    args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
    launch(std::move(args));
}

void ServerProcess::restart() {
    stop();
    std::vector<std::string> args = args_;
    // The options parsed last win: the port the server had, on the database it has.
    args.insert(args.end(), {"--port", std::to_string(port_)});
    launch(std::move(args));
}

void ServerProcess::launch(std::vector<std::string> args) {
    args_ = args;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        int log = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out[1], STDOUT_FILENO);
        if (log >= 0) dup2(log, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    ::close(out[1]);

    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count());
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, left) <= 0) break;
        char buf[256];
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    size_t colon = line.rfind(':');
    if (line.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
        stop();
        throw std::runtime_error("velmora-server did not start: " + line + log());
    }
    port_ = static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
}

ServerProcess::~ServerProcess() {
    stop();
    std::string command = "rm -rf '" + dir_ + "'";
    if (!dir_.empty() && std::system(command.c_str()) != 0) {
        // a leftover folder in /tmp harms nobody
    }
}

std::string ServerProcess::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string ServerProcess::log() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int ServerProcess::stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    if (waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
}

std::vector<std::string> ServerProcess::query(const std::string& sql) const {
    return db_->query(sql);
}

void ServerProcess::execute(const std::string& sql) const {
    db_->execute(sql);
}

std::string ServerProcess::scalar(const std::string& sql) const {
    std::vector<std::string> rows = query(sql);
    return rows.empty() ? "<none>" : rows.front();
}

int ServerProcess::runCommand(const std::vector<std::string>& args, const std::string& input,
                              std::string* output) const {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> argv = {serverProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), {"--db", dbPath_});
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (!input.empty() && ::write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        throw std::runtime_error("the user command did not take its input");
    ::close(in[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ServerProcess::addUser(const std::string& name, const std::string& password) const {
    if (runCommand({"user", "add", name}, password + "\n") != 0)
        throw std::runtime_error("velmora-server user add " + name + " failed");
}

}  // namespace velmora::test
