#pragma once

#include <stop_token>
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

// This program's leftover temporary folders in temp.ini [CACHE] "Path" (ListCacheFolders); none when it is
// missing or not a folder. Taken before any job starts, the list never holds a folder of a running job.
std::vector<std::string> CacheLeftovers();

// Deletes the folders one after another as DeleteFolders does, never following a link; once a stop is
// requested, the folders not begun yet are left for the next start.
void DeleteCacheLeftovers(const std::vector<std::string>& leftovers, const std::stop_token& stop = {});

// The start-up clean-up on the calling thread: DeleteCacheLeftovers(CacheLeftovers()).
void CleanCacheFolder();

}  // namespace zov
