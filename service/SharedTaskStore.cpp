#include "service/SharedTaskStore.h"

namespace zov {

SharedTaskStore::SharedTaskStore(const std::string& path) : path_(path) { store_.SetFilePath(path); }

bool SharedTaskStore::Refresh() {
    std::lock_guard lock(mutex_);
    // Taken before the read: a change made while it reads shows at the next pass.
    const FileVersion now = VersionOfPath(path_);
    if (tried_ && now == read_ && store_.IsLoaded()) return false;
    read_ = now;
    tried_ = true;
    store_.Load();
    return true;
}

}  // namespace zov
