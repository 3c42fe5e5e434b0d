#include "engine/util/CommonPaths.h"

#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {

void NormalizeDir(std::string& path) {
    if (!path.empty() && path.back() != '/') path += '/';
}

void NormalizeDirStd(std::string& path) {
    if (path.empty()) {
        path = "/";
        return;
    }
    NormalizeDir(path);
}

std::string GetModuleFolder() { return ProgramDir(); }

std::string GetParentFolder(std::string_view path) {
    std::string text = path.empty() ? ProgramDir() : std::string(path);
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    const std::size_t slash = text.rfind('/');
    if (slash != std::string::npos) text.erase(slash + 1);
    NormalizeDir(text);
    return text;
}

std::string LastPathLevel(const std::string& path) {
    const std::string clean = CleanPath(path);
    return clean.substr(clean.rfind('/') + 1);
}

bool FileExists(const std::string& path) { return !path.empty() && PathExists(path); }

bool PathIsKind(const std::string& path, bool folder) {
    if (path.empty() || !PathExists(path)) return false;
    return IsDirectory(path) == folder;
}

bool IsPathWithin(std::string_view inner, std::string_view outer) {
    if (inner.empty() || outer.empty()) return false;
    return IsPathInside(inner, outer);
}

int ComparePaths(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return 0;
    switch (RelatePaths(a, b)) {
        case PathRelation::Same:
            return 2;
        case PathRelation::Nested:
            return 1;
        case PathRelation::Unrelated:
            break;
    }
    return 0;
}

bool IsReservedName(std::string_view) { return false; }

}  // namespace zov
