#include "gui/shell/GuiUtilitiesFiles.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <fstream>

#include "engine/logs/QelLog.h"
#include "engine/util/CommonFiles.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace zov::gui {

namespace {

// The log record's result: the ninth of its tab-separated columns.
constexpr int kResultColumn = 8;

bool IsSuccessRecord(const std::string& line) {
    std::size_t start = 0;
    for (int column = 0; column < kResultColumn; ++column) {
        start = line.find('\t', start);
        if (start == std::string::npos) return false;
        ++start;
    }
    const std::size_t end = line.find('\t', start);
    return line.compare(start, end == std::string::npos ? std::string::npos : end - start, kLogSucceeded) ==
           0;
}

// Deeper trees are not searched: no backup layout comes near it.
constexpr int kMaxDepth = 64;

std::string Search(const std::string& folder, const std::string& name, int depth) {
    for (const std::string& entry : ListDirectory(folder)) {
        const std::string path = JoinPath(folder, entry);
        if (EqualsIgnoreAsciiCase(entry, name)) return path;
        if (depth < kMaxDepth && IsRealFolder(path)) {
            std::string found = Search(path, name, depth + 1);
            if (!found.empty()) return found;
        }
    }
    return {};
}

}  // namespace

std::optional<DiskSpace> DiskFreeGiB(const std::string& folder) {
    struct statvfs info {};
    if (folder.empty() || ::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    return DiskSpace{(unit * info.f_blocks) >> 30, (unit * info.f_bavail) >> 30};
}

std::int64_t GetFileSizeByStat(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

std::string FindFileInTree(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty()) return {};
    return Search(CleanPath(folder), name, 0);
}

std::optional<LogResults> CountLogResults(const std::string& path, int maxLines) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    LogResults results;
    std::string line;
    for (int read = 0; (maxLines <= 0 || read < maxLines) && std::getline(file, line); ++read) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (IsSuccessRecord(line)) {
            ++results.successes;
        } else {
            ++results.failures;
        }
    }
    return results;
}

}  // namespace zov::gui
