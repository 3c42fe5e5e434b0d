#include "engine/files/ExcludedFolder.h"

#include <filesystem>
#include <system_error>

#include "platform/Paths.h"

namespace zov {

std::optional<ExcludedFolder> ExcludedFolderInside(const std::string& source, const std::string& folder) {
    if (source.empty() || folder.empty()) return std::nullopt;
    std::error_code error;
    const std::filesystem::path from = std::filesystem::canonical(source, error);
    if (error) return std::nullopt;
    const std::filesystem::path to = std::filesystem::canonical(folder, error);
    if (error || RelatePaths(to.string(), from.string()) != PathRelation::Nested ||
        !IsPathInside(to.string(), from.string())) {
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(to.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return ExcludedFolder{info.st_dev, info.st_ino,
                          JoinPath(CleanPath(source), to.lexically_relative(from).string())};
}

}  // namespace zov
