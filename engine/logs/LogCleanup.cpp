#include "engine/logs/LogCleanup.h"

#include <algorithm>
#include <cstdlib>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/FolderHandle.h"
#include "platform/Clock.h"

namespace zov {

namespace {

constexpr const char* kLogExtension = ".log";
constexpr std::size_t kDateLength = 10;

// "YYYY-MM-DD" of today minus days, local time.
std::string CutoffDate(int days) {
    const std::time_t now = Now();
    std::tm today{};
    localtime_r(&now, &today);
    // Noon keeps a daylight-saving change from moving the date.
    return FormatLocalTime(MakeLocalTime(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday - days, 12),
                           "%Y-%m-%d");
}

// Deletes the files of folder (not links) that pass the name test and whose name without ".log" sorts
// before the cut-off date.
template <typename NameTest>
void DeleteOlderLogs(const FolderHandle& folder, const std::string& cutoff, NameTest nameTest) {
    for (const std::string& name : folder.Entries()) {
        if (!nameTest(name) || name.substr(0, name.size() - 4) >= cutoff) continue;
        if (folder.Kind(name) == EntryKind::File) folder.Remove(name);
    }
}

}  // namespace

bool IsDatedLogName(std::string_view name) {
    if (name.size() != kDateLength + 4 || !name.ends_with(kLogExtension)) return false;
    for (std::size_t i = 0; i < kDateLength; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
    }
    return true;
}

void CleanOldLogs() {
    const int days = std::atoi(IniFile(ConfigIniPath()).Read("Save", "LOG").c_str());
    if (days <= 0) return;
    const std::string cutoff = CutoffDate(days);
    DeleteOlderLogs(FolderHandle::Open(LogFolderDefault()), cutoff,
                    [](const std::string& name) { return name.size() > 4 && name.ends_with(kLogExtension); });
    // The category folders are used only when they are folders themselves, not links.
    const FolderHandle logFolder = FolderHandle::Open(LogFolder());
    for (const char* category : {"Files", "SQL Server", "MySQL"}) {
        DeleteOlderLogs(logFolder.Child(category), cutoff, IsDatedLogName);
    }
}

}  // namespace zov
