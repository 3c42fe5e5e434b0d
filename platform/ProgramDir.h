#pragma once

#include <optional>
#include <string>

namespace zov {

// Names another program folder than the executable's (tests, demos), read once per process.
inline constexpr const char* kProgramDirVariable = "ZOV_PROGRAM_DIR";

// Full path of the running executable.
std::string ExecutablePath();

// The program folder with a trailing '/', fixed on the first call of the process: $ZOV_PROGRAM_DIR when
// set and not empty at that moment, otherwise the folder of the running executable. A later change of the
// environment does not move it; SetProgramDir does. Programs call it once at start, before any thread.
std::string ProgramDir();

// Names the program folder for the rest of the process (a trailing '/' is added), instead of the
// environment; "" returns to the executable's folder.
void SetProgramDir(const std::string& folder);

// The program folder when it was named ($ZOV_PROGRAM_DIR or SetProgramDir), which child processes that
// must use the same folder get in their environment; nullopt when it is the executable's folder.
std::optional<std::string> NamedProgramDir();

// The "run/" folder of a program folder, with a trailing '/': locks, notice sockets and the local service
// records, private to the program's user.
std::string RunFolderOf(const std::string& programDir);

// RunFolderOf(programDir) once it is made private (EnsurePrivateFolder); nullopt (errno set) when it cannot
// be, e.g. when it is a symbolic link.
std::optional<std::string> PrivateRunFolder(const std::string& programDir);

}  // namespace zov
