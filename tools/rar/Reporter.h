#pragma once

#include <string>

#include "tools/rar/ExitCode.h"

namespace zov::rar {

// Collects the run's exit code and sends its messages to standard error (unless quiet) and to the log file.
class Reporter {
  public:
    Reporter(std::string archive, bool quiet, std::string logFile);

    // Records a problem. A failure replaces a warning (6, 10); the first failure is kept.
    void Report(ExitCode code, const std::string& message);
    ExitCode code() const { return code_; }

  private:
    static bool IsWarning(ExitCode code) { return code == kOpenError || code == kNoFiles; }

    std::string archive_;
    bool quiet_;
    std::string logFile_;
    ExitCode code_ = kSuccess;
};

}  // namespace zov::rar
