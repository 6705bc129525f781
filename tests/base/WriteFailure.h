// An injected write failure for the tests: while a FileSizeLimit is alive, no file of this process
// can grow beyond `bytes` — a write past the limit fails (EFBIG) as a write to a full disk fails
// (ENOSPC). Needs no root and no special file system. Linux test code only.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace torvtest {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // Without this the kernel ends the process with SIGXFSZ instead of failing the write.
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

}  // namespace torvtest
