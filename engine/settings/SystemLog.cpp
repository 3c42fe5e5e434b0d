#include "engine/settings/SystemLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {

namespace {

std::atomic<bool> debugSwitch{false};

constexpr const char* kSystemLogFolder = "Log/Files/";
constexpr const char* kSystemLogName = "system.log";

}  // namespace

void InitDebugSwitch() { debugSwitch = IsRegularFile(DebugLogPath()); }

void SetDebugSwitch(bool on) { debugSwitch = on; }

bool DebugSwitch() { return debugSwitch; }

bool WriteSystemLog(const std::string& text, bool append, bool debug) {
    if (text.empty()) return false;
    std::string path;
    if (debug) {
        if (!DebugSwitch()) return false;
        path = DebugLogPath();
    } else {
        const std::string folder = ProgramDir() + kSystemLogFolder;
        if (!CreateFolderChain(folder, kLogFolderMode)) return false;
        path = folder + kSystemLogName;
    }
    return WriteTextFile(path, FormatLocalTime(Now(), "%Y-%m-%d %H:%M:%S") + "\t" + text, true, append);
}

bool WriteTextFile(const std::string& path, const std::string& text, bool newline, bool append) {
    if (path.empty() || text.empty()) return false;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC),
               kLogFileMode);
    if (fd < 0) return false;
    // One write per call: with O_APPEND concurrent writers never interleave within a line.
    const std::string data = newline ? text + "\n" : text;
    const ssize_t written = ::write(fd, data.data(), data.size());
    const bool closed = ::close(fd) == 0;
    return written == static_cast<ssize_t>(data.size()) && closed;
}

bool AppendLine(const std::string& text, const std::string& path, bool append) {
    return WriteTextFile(path, text, true, append);
}

}  // namespace zov
