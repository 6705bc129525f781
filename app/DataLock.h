// The lock of the archive data directory. Every command that writes tables or side files holds it
// while it runs, so two programs (the window and an unattended command line, two cron runs) never
// write one device's tables at once: the second waits a short time, then is refused with a
// message naming the holder.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace torv {

class DataDirLock {
public:
    static constexpr const char *kFileName = "torvmonitor.lock";

    // Takes the lock of `dataDir`, waiting up to `waitMs`. The directory is made when missing.
    DataDirLock(const QString &dataDir, int waitMs);
    ~DataDirLock();
    DataDirLock(const DataDirLock &) = delete;
    DataDirLock &operator=(const DataDirLock &) = delete;

    bool locked() const { return locked_; }
    // Why the lock was not taken: the holder (program, process, computer) or the file's fault.
    QString error() const { return error_; }

private:
    std::unique_ptr<QLockFile> file_;
    bool locked_ = false;
    QString error_;
};

}  // namespace torv
