#include "gui/shell/CacheSpace.h"

#include <sys/statvfs.h>

#include <mutex>

namespace zov::gui {

namespace {

std::mutex functionMutex;
FreeSpaceFunction installed;

std::optional<std::uint64_t> StatvfsFreeBytes(const std::string& folder) {
    struct statvfs info {};
    if (folder.empty() || statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace

std::optional<std::uint64_t> FreeBytes(const std::string& folder) {
    FreeSpaceFunction function;
    {
        std::lock_guard lock(functionMutex);
        function = installed;
    }
    return function ? function(folder) : StatvfsFreeBytes(folder);
}

std::optional<std::uint64_t> FreeGiB(const std::string& folder) {
    const std::optional<std::uint64_t> bytes = FreeBytes(folder);
    if (!bytes) return std::nullopt;
    return *bytes >> 30;
}

void SetFreeSpaceFunction(FreeSpaceFunction function) {
    std::lock_guard lock(functionMutex);
    installed = std::move(function);
}

}  // namespace zov::gui
