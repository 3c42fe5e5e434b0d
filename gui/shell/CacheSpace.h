#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Free space of the cache folder's disk, read through a replaceable function so tests can set the figure.
namespace zov::gui {

// Below this many whole GiB free the settings warn about the cache folder.
inline constexpr std::uint64_t kCacheSpaceWarningGiB = 3;

using FreeSpaceFunction = std::function<std::optional<std::uint64_t>(const std::string& folder)>;

// Whole GiB free to this user on the folder's file system (truncated); nullopt when that cannot be read.
std::optional<std::uint64_t> FreeGiB(const std::string& folder);

// Installs, for the whole process, the function that gives FreeGiB the bytes free; an empty one restores
// the file system's own figure.
void SetFreeSpaceFunction(FreeSpaceFunction function);

}  // namespace zov::gui
