#include "engine/CommonFilter.h"

#include "platform/Paths.h"

namespace zov {

namespace {

// "/" + the folder's own name; "" for the root.
std::string FolderKey(const std::string& path) {
    const std::string clean = CleanPath(path);
    const std::size_t slash = clean.rfind('/');
    const std::string name = slash == std::string::npos ? clean : clean.substr(slash + 1);
    return name.empty() ? "" : "/" + name;
}

// The extension with its dot, "" when the name has none.
std::string FileKey(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : name.substr(dot);
}

}  // namespace

bool FilterPasses(const std::string& path, const FilterSet& filter) {
    if (path.empty() || !PathExists(path)) return false;
    if (filter.extensions.empty()) return true;
    std::string key;
    if (IsDirectory(path)) {
        key = FolderKey(path);
        if (key.empty()) return true;
    } else {
        key = FileKey(path);
    }
    const bool hit = filter.Contains(key, true);
    return filter.exclude ? !hit : hit;
}

}  // namespace zov
