#pragma once

#include <cstdint>
#include <optional>
#include <string>

// File and folder queries of the management program's pages.
namespace zov::gui {

struct DiskSpace {
    std::uint64_t totalGiB = 0;
    std::uint64_t freeGiB = 0;  // free to this user, in whole GiB
};
// The size of the file system holding the folder; nullopt when it cannot be read.
std::optional<DiskSpace> DiskFreeGiB(const std::string& folder);

// The size of the file in bytes (64-bit); 0 when it cannot be read.
std::int64_t GetFileSizeByStat(const std::string& path);

// The full path of the first entry named name (ASCII letters folded) in the folder's tree, depth first in
// name order; "" when there is none. Links to folders are not entered.
std::string FindFileInTree(const std::string& folder, const std::string& name);

struct LogResults {
    int successes = 0;
    int failures = 0;
};
// Counts the records of a log file: a non-empty line whose result column says "成功" is a success, any
// other non-empty line a failure. maxLines > 0 stops after that many lines. nullopt when the file cannot be
// opened.
std::optional<LogResults> CountLogResults(const std::string& path, int maxLines = 0);

}  // namespace zov::gui
