#include "server/ServingLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "server/PgConnection.h"
#include "transport/Errors.h"

namespace velmora::server {

ServingLock::~ServingLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool ServingLock::acquire(const std::string& path, Mode mode) {
    if (isPostgresLocation(path)) return true;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        throw VelmoraError(formatText("Cannot open database %s", path.c_str()));
    }
    if (::flock(fd, (mode == Serving ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    return true;
}

}  // namespace velmora::server
