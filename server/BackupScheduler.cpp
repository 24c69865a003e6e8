#include "server/BackupScheduler.h"

#include <algorithm>

#include "server/Log.h"
#include "transport/Errors.h"

namespace velmora::server {

BackupScheduler::BackupScheduler(BackupDirectory& backups, std::chrono::milliseconds every)
    : backups_(backups), every_(every) {}

BackupScheduler::~BackupScheduler() {
    stop();
}

void BackupScheduler::start() {
    thread_ = std::thread([this] { run(); });
}

void BackupScheduler::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool BackupScheduler::sleep(std::chrono::milliseconds span) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::max(span, std::chrono::milliseconds(0)), [this] { return stopping_; });
    return !stopping_;
}

void BackupScheduler::run() {
    using namespace std::chrono;
    const milliseconds retry = std::min<milliseconds>(every_, minutes(5));
    removeStaleParts(backups_.dir());
    // The first backup is due one interval after the newest already there (now, when none is).
    milliseconds wait(0);
    if (auto newest = backups_.newest())
        wait = duration_cast<milliseconds>(*newest + every_ - system_clock::now());
    while (sleep(wait)) {
        try {
            BackupResult r = backups_.takeNow();
            logLine(formatText("backup written: %s (%llu bytes, %llu rows, %.1f s)", r.path.c_str(),
                               static_cast<unsigned long long>(r.bytes),
                               static_cast<unsigned long long>(r.rows), r.seconds));
            wait = every_;
        } catch (const std::exception& e) {
            logLine(formatText("BACKUP FAILED: %s; trying again in %lld s", e.what(),
                               static_cast<long long>(duration_cast<seconds>(retry).count())));
            wait = retry;
        }
    }
}

}  // namespace velmora::server
