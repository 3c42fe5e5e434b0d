#include "tools/rar/Reporter.h"

#include <cstdio>
#include <utility>

namespace zov::rar {

Reporter::Reporter(std::string archive, bool quiet, std::string logFile)
    : archive_(std::move(archive)), quiet_(quiet), logFile_(std::move(logFile)) {}

void Reporter::Report(ExitCode code, const std::string& message) {
    std::lock_guard lock(mutex_);
    if (code_ == kSuccess || (IsWarning(code_) && !IsWarning(code))) code_ = code;
    const std::string line = archive_ + ": " + message + "\n";
    if (!quiet_) std::fputs(line.c_str(), stderr);
    if (logFile_.empty()) return;
    if (std::FILE* log = std::fopen(logFile_.c_str(), "a")) {
        std::fputs(line.c_str(), log);
        std::fclose(log);
    }
}

}  // namespace zov::rar
