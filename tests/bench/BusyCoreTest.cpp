// The benches' busy core: a process that really spins, on the CPU it names, and is gone, not left
// a zombie, once the object is.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill is POSIX
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/BusyCore.h"
#include "tests/support/WaitUntil.h"

namespace {

// Field n (1-based, as proc(5) counts) of /proc/pid/stat; the command name never holds a blank here.
long statField(pid_t pid, int n) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    for (int i = 1; i <= n && in >> field; ++i) {
    }
    return in ? std::stol(field) : -1;
}

std::string statusLine(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) {
            std::istringstream rest(line.substr(key.size() + 1));
            std::string value;
            rest >> value;
            return value;
        }
    return {};
}

}  // namespace

TEST(BusyCore, SpinsPinnedToTheLastAllowedCpuAndIsReapedWithTheObject) {
    pid_t pid = -1;
    {
        velmora::bench::BusyCore busy;
        pid = busy.pid();
        ASSERT_GT(pid, 0);
        // Ten clock ticks of user time: it runs rather than sleeps.
        EXPECT_TRUE(velmora::test::waitUntil([&] { return statField(pid, 14) >= 10; }));
        EXPECT_EQ(statusLine(pid, "State"), "R");

        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
        if (CPU_COUNT(&allowed) < 2) {
            EXPECT_EQ(busy.cpu(), -1);
        } else {
            int last = -1;
            for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
                if (CPU_ISSET(cpu, &allowed)) last = cpu;
            EXPECT_EQ(busy.cpu(), last);
            EXPECT_EQ(statusLine(pid, "Cpus_allowed_list"), std::to_string(last));
        }
    }
    errno = 0;
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(BusyCore, EndsWhenTheBenchEndsWithoutItsDestructor) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t bench = fork();
    ASSERT_GE(bench, 0);
    if (bench == 0) {
        // A bench that gives up through exit(): no destructor runs.
        auto* busy = new velmora::bench::BusyCore;
        pid_t spinner = busy->pid();
        if (write(fds[1], &spinner, sizeof spinner) != sizeof spinner) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    pid_t spinner = -1;
    ASSERT_EQ(read(fds[0], &spinner, sizeof spinner), static_cast<ssize_t>(sizeof spinner));
    close(fds[0]);
    ASSERT_EQ(waitpid(bench, nullptr, 0), bench);
    // The orphan is reaped by init once killed; until then it may linger as a zombie.
    bool ended = velmora::test::waitUntil([&] {
        std::string state = statusLine(spinner, "State");
        return state.empty() || state == "Z";
    });
    if (!ended) kill(spinner, SIGKILL);
    EXPECT_TRUE(ended);
}
