#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zov::test {

// The arguments StartDaemonCopy gives: program, "-c", a script that stops the shell at once, then extra.
std::vector<std::string> DaemonCopyArguments(const std::string& program,
                                             const std::vector<std::string>& extra = {});

// Starts a copy of the shell at program (own session, no terminal) that stops itself at once: a process
// that looks like a daemon of that program, with no children; run as user when that is not "" (who must be
// able to reach program). Returns once /proc shows its arguments. The caller kills and reaps it.
pid_t StartDaemonCopy(const std::string& program, const std::vector<std::string>& extra = {},
                      const std::string& user = "");

}  // namespace zov::test
