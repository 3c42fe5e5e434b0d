#include "engine/logs/LogPrivacy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/FolderHandle.h"

namespace zov {
namespace {

// The log tree is a few levels deep; deeper folders are not the logs'.
constexpr int kDepthBound = 8;

// Takes the bits outside widest from the opened entry: true when it changed.
bool Narrow(int fd, mode_t widest) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    const mode_t mode = info.st_mode & 07777;
    return (mode & ~widest) != 0 && fchmod(fd, mode & widest) == 0;
}

int NarrowFile(const FolderHandle& folder, const std::string& name) {
    const int fd =
        openat(folder.fd(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat info {};
    const bool narrowed = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && Narrow(fd, kLogFileMode);
    close(fd);
    return narrowed ? 1 : 0;
}

int NarrowFolder(const FolderHandle& folder, int depth) {
    int narrowed = Narrow(folder.fd(), kLogFolderMode) ? 1 : 0;
    if (depth >= kDepthBound) return narrowed;
    for (const std::string& name : folder.Entries()) {
        switch (folder.Kind(name)) {
            case EntryKind::Folder:
                if (const FolderHandle child = folder.Child(name); child.IsOpen()) {
                    narrowed += NarrowFolder(child, depth + 1);
                }
                break;
            case EntryKind::File:
                narrowed += NarrowFile(folder, name);
                break;
            default:
                break;
        }
    }
    return narrowed;
}

}  // namespace

void KeepLogsPrivate() {
    const FolderHandle logs = FolderHandle::OpenReal(LogFolderDefault());
    const int narrowed = logs.IsOpen() ? NarrowFolder(logs, 0) : 0;
    if (narrowed > 0) {
        WriteSystemLog("日志文件夹中 " + std::to_string(narrowed) +
                       " 项对其他用户开放，已改为仅所有者可读写");
    }
}

}  // namespace zov
