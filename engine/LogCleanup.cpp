#include "engine/LogCleanup.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "engine/IniFile.h"
#include "engine/ProgramFiles.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {

namespace {

constexpr const char* kLogExtension = ".log";
constexpr std::size_t kDateLength = 10;
constexpr int kPassSeconds = 300;

// "YYYY-MM-DD" of today minus days, local time.
std::string CutoffDate(int days) {
    const std::time_t now = Now();
    std::tm today{};
    localtime_r(&now, &today);
    // Noon keeps a daylight-saving change from moving the date.
    return FormatLocalTime(MakeLocalTime(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday - days, 12),
                           "%Y-%m-%d");
}

// A name of the form "YYYY-MM-DD.log".
bool IsDatedLogName(const std::string& name) {
    if (name.size() != kDateLength + 4 || !name.ends_with(kLogExtension)) return false;
    for (std::size_t i = 0; i < kDateLength; ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? name[i] != '-' : (name[i] < '0' || name[i] > '9')) return false;
    }
    return true;
}

// Deletes the regular files of folder that pass the name test and whose name without ".log" sorts
// before the cut-off date.
template <typename NameTest>
void DeleteOlderLogs(const std::string& folder, const std::string& cutoff, NameTest nameTest) {
    for (const std::string& name : ListDirectory(folder)) {
        if (!nameTest(name)) continue;
        const std::string path = JoinPath(folder, name);
        const std::string stem = name.substr(0, name.size() - 4);
        if (IsRegularFile(path) && stem < cutoff) ::unlink(path.c_str());
    }
}

}  // namespace

void CleanOldLogs() {
    const int days = std::atoi(IniFile(ConfigIniPath()).Read("Save", "LOG").c_str());
    if (days <= 0) return;
    const std::string cutoff = CutoffDate(days);
    DeleteOlderLogs(LogFolderDefault(), cutoff,
                    [](const std::string& name) { return name.size() > 4 && name.ends_with(kLogExtension); });
    const std::string logFolder = LogFolder();
    for (const char* category : {"Files/", "SQL Server/", "MySQL/"}) {
        DeleteOlderLogs(logFolder + category, cutoff, IsDatedLogName);
    }
}

std::jthread StartLogCleanupThread() {
    return std::jthread([](std::stop_token stop) {
        do {
            CleanOldLogs();
        } while (SleepUnlessStopped(stop, std::chrono::seconds(kPassSeconds)));
    });
}

}  // namespace zov
