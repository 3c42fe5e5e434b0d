#include "platform/FileVersion.h"

#include <cerrno>
#include <map>
#include <mutex>

namespace zov {

FileVersion VersionOf(const struct stat& info) {
    FileVersion version;
    version.device = info.st_dev;
    version.inode = info.st_ino;
    version.size = info.st_size;
    version.modifiedSeconds = info.st_mtim.tv_sec;
    version.modifiedNanoseconds = info.st_mtim.tv_nsec;
    version.changedSeconds = info.st_ctim.tv_sec;
    version.changedNanoseconds = info.st_ctim.tv_nsec;
    return version;
}

FileVersion VersionOfPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return VersionOf(info);
    FileVersion version;
    version.error = errno;
    return version;
}

bool NoteNewVersion(const std::string& path, const FileVersion& version) {
    static std::mutex mutex;
    static std::map<std::string, FileVersion> noted;
    std::lock_guard lock(mutex);
    const auto [entry, added] = noted.try_emplace(path, version);
    if (added) return true;
    if (entry->second == version) return false;
    entry->second = version;
    return true;
}

}  // namespace zov
