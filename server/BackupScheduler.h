#pragma once
// The server's own backups: a thread that backs the database up into the backup folder every
// `every`, counted from the newest backup there, and logs each result. A failed backup is logged
// loudly and tried again after a shorter wait (at most five minutes).

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "server/BackupDirectory.h"

namespace velmora::server {

class BackupScheduler {
  public:
    BackupScheduler(BackupDirectory& backups, std::chrono::milliseconds every);
    ~BackupScheduler();
    BackupScheduler(const BackupScheduler&) = delete;
    BackupScheduler& operator=(const BackupScheduler&) = delete;

    void start();
    // Waits for a backup under way to end.
    void stop();

  private:
    void run();
    // Waits for span or stop(); false once stopped.
    bool sleep(std::chrono::milliseconds span);

    BackupDirectory& backups_;
    std::chrono::milliseconds every_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace velmora::server
