#include "platform/ProgramDir.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/Folders.h"
#include "platform/Paths.h"

namespace zov {

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramDir() {
    if (const char* overridden = std::getenv(kProgramDirVariable);
        overridden != nullptr && *overridden != '\0') {
        std::string folder = overridden;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    std::string executable = ExecutablePath();
    return executable.substr(0, executable.rfind('/') + 1);
}

std::string RunFolderOf(const std::string& programDir) { return WithTrailingSlash(programDir) + "run/"; }

std::optional<std::string> PrivateRunFolder(const std::string& programDir) {
    std::string folder = RunFolderOf(programDir);
    if (!EnsurePrivateFolder(folder)) return std::nullopt;
    return folder;
}

}  // namespace zov
