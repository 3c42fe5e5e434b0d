#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace zov::gui::test {

// While it lives, no file this process writes grows past bytes: such a write fails (SIGXFSZ is ignored).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &original_);
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = original_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &original_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit original_{};
};

}  // namespace zov::gui::test
