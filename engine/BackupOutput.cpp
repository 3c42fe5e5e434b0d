#include "engine/BackupOutput.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/BackupNames.h"
#include "engine/FileOperator.h"
#include "platform/Paths.h"

namespace zov {

std::optional<BackupFolder> BackupFolder::Open(const std::string& path, std::string& message) {
    const bool made = CFileOperator().CreateFolder(path) == 1;
    const int code = errno;
    // Without a trailing '/': that would make the calls below follow a link.
    const std::string folder = CleanPath(path);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        message = "备份时，目录" + path + "是符号链接而不是文件夹，备份未执行";
        return std::nullopt;
    }
    if (!made) {
        message = WithSystemReason("备份时，目录" + path + "不存在且无法创建", code);
        return std::nullopt;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        message = WithSystemReason("备份时，无法打开目录" + path, errno);
        return std::nullopt;
    }
    return BackupFolder(fd);
}

BackupFolder::~BackupFolder() {
    if (fd_ >= 0) ::close(fd_);
}

bool RemoveRunOutput(const std::string& datedFolder, const std::string& itemStamp, std::string& failed) {
    struct stat folder {};
    if (::lstat(CleanPath(datedFolder).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return true;
    bool removed = true;
    for (const std::string& name : ListDirectory(datedFolder)) {
        const RunOutput kind = RunOutputOf(name, itemStamp);
        if (kind == RunOutput::None) continue;
        const std::string path = JoinPath(datedFolder, name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) continue;
        const bool expected = kind == RunOutput::PartialSet ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
        if (!expected || CFileOperator().ForceDelete(path) == 1) continue;
        failed += (failed.empty() ? "" : "，") + path;
        removed = false;
    }
    return removed;
}

std::string WithSystemReason(const std::string& text, int code) {
    if (code == 0) return text;
    char buffer[256];
    return text + "（" + ::strerror_r(code, buffer, sizeof buffer) + "）";
}

}  // namespace zov
