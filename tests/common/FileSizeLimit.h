#pragma once
#include <csignal>
#include <sys/resource.h>

// While alive, no file this process writes can grow past `bytes`: writes
// beyond it fail with EFBIG, as on a full disk. Unlike file permissions this
// binds root too, and CI runs the tests as root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes = 0)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        // The kernel also raises SIGXFSZ, whose default action ends the process.
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes < old_.rlim_max ? bytes : old_.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
};
