#pragma once

#include <optional>
#include <string>

namespace zov {

// Names another program folder than the executable's (tests, demos).
inline constexpr const char* kProgramDirVariable = "ZOV_PROGRAM_DIR";

// Full path of the running executable.
std::string ExecutablePath();

// The program folder with a trailing '/': $ZOV_PROGRAM_DIR when set and not empty, otherwise the
// folder of the running executable.
std::string ProgramDir();

// The "run/" folder of a program folder, with a trailing '/': locks, notice sockets and the local service
// records, private to the program's user.
std::string RunFolderOf(const std::string& programDir);

// RunFolderOf(programDir) once it is made private (EnsurePrivateFolder); nullopt (errno set) when it cannot
// be, e.g. when it is a symbolic link.
std::optional<std::string> PrivateRunFolder(const std::string& programDir);

}  // namespace zov
