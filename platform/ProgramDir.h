#pragma once

#include <string>

namespace zov {

// Full path of the running executable.
std::string ExecutablePath();

// The program folder with a trailing '/': $ZOV_PROGRAM_DIR when set and not empty, otherwise the
// folder of the running executable.
std::string ProgramDir();

}  // namespace zov
