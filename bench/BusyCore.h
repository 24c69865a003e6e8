#pragma once
// A child process that keeps one CPU busy for as long as the object lives: the benches' --busy-core,
// which measures the product and its baseline beside other work, as on an office machine.

#include <sched.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill is POSIX
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace velmora::bench {

class BusyCore {
  public:
    // Call on a thread that outlives the object: the spinner ends with the thread that made it.
    // Forks the spinner, pinned to the last CPU this process may run on (unpinned when there is
    // only one); it runs at the bench's own priority, so the scheduler shares that CPU as it would
    // with any other program.
    BusyCore() {
        int cpu = lastAllowedCpu();
        pid_t parent = getpid();
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ < 0) {
            std::perror("fork");
            std::exit(1);
        }
        if (pid_ == 0) {
            // A bench that ends through exit() or a crash runs no destructor: the spinner must
            // not outlive it.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(0);
            if (cpu >= 0) {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpu, &one);
                sched_setaffinity(0, sizeof one, &one);
            }
            // Spins until killed; the empty volatile asm keeps the loop from being optimised away.
            for (;;) asm volatile("");
        }
        cpu_ = cpu;
    }
    ~BusyCore() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

    // The CPU the spinner holds, or -1 when it is not pinned.
    int cpu() const { return cpu_; }
    pid_t pid() const { return pid_; }

  private:
    static int lastAllowedCpu() {
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        if (sched_getaffinity(0, sizeof allowed, &allowed) != 0 || CPU_COUNT(&allowed) < 2) return -1;
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu)
            if (CPU_ISSET(cpu, &allowed)) return cpu;
        return -1;
    }

    pid_t pid_ = -1;
    int cpu_ = -1;
};

}  // namespace velmora::bench
