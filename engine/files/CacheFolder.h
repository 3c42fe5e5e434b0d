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

// A private work folder (0700) of one job under the cache folder (made when missing), removed with all it
// holds when the object ends; a link in it is removed, never followed.
class CacheWorkFolder {
  public:
    CacheWorkFolder();
    ~CacheWorkFolder();
    CacheWorkFolder(const CacheWorkFolder&) = delete;
    CacheWorkFolder& operator=(const CacheWorkFolder&) = delete;

    // The folder with a trailing '/'; "" when it could not be made.
    const std::string& path() const { return path_; }
    // Removes the folder now (path() becomes ""), so that what it held is never written back to disk.
    void Remove();

  private:
    std::string path_;
};

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
