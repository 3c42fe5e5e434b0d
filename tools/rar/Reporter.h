#pragma once

#include <mutex>
#include <string>

#include "tools/rar/ExitCode.h"

namespace zov::rar {

// Collects the run's exit code and sends its messages to standard error (unless quiet) and to the log file.
// Threads may report at the same time.
class Reporter {
  public:
    Reporter(std::string archive, bool quiet, std::string logFile);

    // Records a problem. A failure replaces a warning (6, 10); the first failure is kept.
    void Report(ExitCode code, const std::string& message);
    ExitCode code() const {
        std::lock_guard lock(mutex_);
        return code_;
    }

  private:
    static bool IsWarning(ExitCode code) { return code == kOpenError || code == kNoFiles; }

    std::string archive_;
    bool quiet_;
    std::string logFile_;
    mutable std::mutex mutex_;
    ExitCode code_ = kSuccess;
};

}  // namespace zov::rar
