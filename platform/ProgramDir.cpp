#include "platform/ProgramDir.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

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
    if (const char* overridden = std::getenv("ZOV_PROGRAM_DIR");
        overridden != nullptr && *overridden != '\0') {
        std::string folder = overridden;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    std::string executable = ExecutablePath();
    return executable.substr(0, executable.rfind('/') + 1);
}

}  // namespace zov
