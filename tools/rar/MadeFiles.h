#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <mutex>
#include <set>
#include <utility>

namespace zov::rar {

using FileId = std::pair<dev_t, ino_t>;

// The folders and files this run creates while the sources are still being listed, so that the listing
// leaves them out. A file is created and recorded under the lock: whoever finds it on disk and then asks
// sees it recorded.
class MadeFiles {
  public:
    std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }
    // With the lock held; the path is recorded when it exists.
    void RecordLocked(const char* path) {
        struct stat st {};
        if (lstat(path, &st) == 0) ids_.insert({st.st_dev, st.st_ino});
    }
    bool Contains(const FileId& id) const {
        std::lock_guard lock(mutex_);
        return ids_.count(id) > 0;
    }

  private:
    mutable std::mutex mutex_;
    std::set<FileId> ids_;
};

}  // namespace zov::rar
