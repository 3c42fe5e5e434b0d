#pragma once

#include <mutex>
#include <string>

#include "engine/tasks/QelXml.h"
#include "platform/FileVersion.h"

namespace zov {

// The service's one task store, which the scheduler's and the expired-backup passes share: task.db is
// read again only when it changed since the last read (its identity, size, modification and status-change
// times), or when that read failed.
class SharedTaskStore {
  public:
    explicit SharedTaskStore(const std::string& path);
    SharedTaskStore(const SharedTaskStore&) = delete;
    SharedTaskStore& operator=(const SharedTaskStore&) = delete;

    // Brings the store up to the file; true when the file was read now.
    bool Refresh();
    // Whether the last read gave a store (a missing file gives an empty one).
    bool IsLoaded() const { return store_.IsLoaded(); }
    const CQelXML& store() const { return store_; }

  private:
    std::mutex mutex_;
    std::string path_;
    CQelXML store_;
    FileVersion read_;
    bool tried_ = false;
};

}  // namespace zov
