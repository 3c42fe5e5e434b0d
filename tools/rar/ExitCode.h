#pragma once

namespace zov::rar {

// The archiver's exit codes, as its callers interpret them.
enum ExitCode : int {
    kSuccess = 0,
    kFatalError = 2,
    kDataError = 3,
    kWriteError = 5,
    kOpenError = 6,
    kUsageError = 7,
    kCreateError = 9,
    kNoFiles = 10,
    kBadPassword = 11,
    kUserBreak = 255,
};

}  // namespace zov::rar
