#pragma once

#include <string>
#include <vector>

// Temporary folders of a program under the cache folder (temp.ini [CACHE] "Path", else the program
// folder + "cache/"), named prefix + 5 random characters.
namespace zov {

// The prefix of this process's temporary folders: "zovsvc_" (default, the service) or "zovui_"
// (the management program, which sets it at start).
inline constexpr const char* kServiceTempPrefix = "zovsvc_";
inline constexpr const char* kInterfaceTempPrefix = "zovui_";
void SetTempFolderPrefix(const std::string& prefix);
std::string TempFolderPrefix();

// A new temporary folder path (not created; the caller creates and deletes it), or "" when 10 random
// names in a row name existing entries.
std::string MakeCacheTempPath();

// Full paths (without a trailing '/', so a deletion never resolves a link) of the direct sub-folders of
// cacheFolder whose names begin with this process's prefix.
void ListCacheFolders(const std::string& cacheFolder, std::vector<std::string>& folders);

// Lists this program's leftover temporary folders in temp.ini [CACHE] "Path" (nothing when it is missing
// or not a folder) and deletes them on a detached thread, never following a link. Called once when the
// service starts.
void CleanCacheFolder();

}  // namespace zov
