#pragma once
// Who may use a SQLite database file: every server serving it holds this lock shared, a restore
// that replaces the file holds it alone, so neither starts while the other works. It is an
// advisory flock on the file, apart from SQLite's own locks. Closing any descriptor of the file
// drops SQLite's locks of the whole process, so the lock must be released only after every
// SQLite connection the process has to the file is closed (hold it for the process's life, or
// around the work it guards).

#include <string>

namespace velmora::server {

class ServingLock {
  public:
    enum Mode { Serving, Replacing };

    ServingLock() = default;
    ~ServingLock();
    ServingLock(const ServingLock&) = delete;
    ServingLock& operator=(const ServingLock&) = delete;

    // Takes the lock without waiting; false when it is held the other way. A file that does not
    // exist (or a PostgreSQL location) needs no lock: true.
    bool acquire(const std::string& path, Mode mode);

  private:
    int fd_ = -1;
};

}  // namespace velmora::server
