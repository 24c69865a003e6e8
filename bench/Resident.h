#pragma once
// The resident memory of the bench's own process, as the system counts it.

#include <unistd.h>

#include <cstddef>
#include <fstream>

namespace velmora::bench {

inline size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

inline double residentMb() {
    return static_cast<double>(residentBytes()) / (1 << 20);
}

}  // namespace velmora::bench
