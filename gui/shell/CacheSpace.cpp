#include "gui/shell/CacheSpace.h"

#include <mutex>

#include "gui/shell/GuiUtilitiesFiles.h"

namespace zov::gui {

namespace {

std::mutex functionMutex;
FreeSpaceFunction installed;

}  // namespace

std::optional<std::uint64_t> FreeGiB(const std::string& folder) {
    FreeSpaceFunction function;
    {
        std::lock_guard lock(functionMutex);
        function = installed;
    }
    if (function) {
        const std::optional<std::uint64_t> bytes = function(folder);
        if (!bytes) return std::nullopt;
        return *bytes >> 30;
    }
    const std::optional<DiskSpace> space = DiskFreeGiB(folder);
    if (!space) return std::nullopt;
    return space->freeGiB;
}

void SetFreeSpaceFunction(FreeSpaceFunction function) {
    std::lock_guard lock(functionMutex);
    installed = std::move(function);
}

}  // namespace zov::gui
