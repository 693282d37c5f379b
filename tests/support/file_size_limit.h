#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace velsend::test {

// Makes every write past `bytes` of any file fail with EFBIG while it lives,
// the way a full disk or a quota fails a save midway. SIGXFSZ is ignored
// meanwhile so the process sees the error instead of dying; both are put back
// afterwards.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &savedAction_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &savedAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    struct sigaction savedAction_ {};
};

}  // namespace velsend::test
