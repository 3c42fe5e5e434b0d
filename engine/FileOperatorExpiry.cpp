#include <sys/stat.h>

#include "engine/BackupNames.h"
#include "engine/CommonFiles.h"
#include "engine/FileOperator.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

// Expiry of backup sets older than a task's keep days.
namespace zov {

namespace {

constexpr std::time_t kSecondsPerDay = 86400;

// The first moment still kept: the cutoff day "YYYY-MM-DD" and the cutoff second "YYYYMMDDhhmmss".
struct Cutoff {
    std::string day;
    std::string stamp;
};

bool MakeCutoff(int keepDays, Cutoff& cutoff) {
    const std::time_t when = Now() - static_cast<std::time_t>(keepDays) * kSecondsPerDay;
    if (when <= 0) return false;
    cutoff.day = FormatLocalTime(when, kDateFormat);
    cutoff.stamp = FormatLocalTime(when, kStampFormat);
    return IsDatedFolderName(cutoff.day) && IsStampText(cutoff.stamp);
}

// True when the entry's title carries a stamp before the cutoff second.
bool StampedBefore(std::string_view title, const Cutoff& cutoff) {
    const std::string_view stamp = StampOfTitle(title);
    return !stamp.empty() && stamp < cutoff.stamp;
}

}  // namespace

void CFileOperator::DeleteExpiredSets(const std::string& storage, int keepDays) {
    Cutoff cutoff;
    if (keepDays <= 0 || !IsDirectory(storage) || !MakeCutoff(keepDays, cutoff)) return;
    for (const std::string& day : ListDatedFolders(storage)) {
        const std::string folder = JoinPath(storage, day);
        if (day < cutoff.day) {
            DeletePath(folder, true);
        } else if (day == cutoff.day) {
            for (const std::string& name : ListDirectory(folder)) {
                const std::string entry = JoinPath(folder, name);
                if (IsRealFolder(entry)) continue;
                if (StampedBefore(BackupTitle(name, false), cutoff)) DeletePath(entry, true);
            }
            if (IsFolderEmpty(folder)) DeletePath(folder, true);
        }
    }
}

void CFileOperator::DeleteExpiredDiffSets(const std::string& folder, int keepDays,
                                          const std::string& diffFolder) {
    Cutoff cutoff;
    if (keepDays <= 0 || !IsDirectory(folder) || !MakeCutoff(keepDays, cutoff)) return;

    if (diffFolder.empty()) {
        // The set folders "<name>_<stamp>" of the bases: their differential entries, named by stamp.
        for (const std::string& setName : ListDirectory(folder)) {
            const std::string set = JoinPath(folder, setName);
            if (!IsRealFolder(set) || !StampedBefore(setName, cutoff)) continue;
            for (const std::string& name : ListDirectory(set)) {
                const std::string entry = JoinPath(set, name);
                const std::string_view title = BackupTitle(name, IsRealFolder(entry));
                if (IsStampText(title) && title < cutoff.stamp) DeletePath(entry, true);
            }
            if (IsFolderEmpty(set)) DeletePath(set, true);
        }
        return;
    }

    // Full backups and bases. A base stays while its set folder under diffFolder exists, all its volumes
    // with it; in the cutoff day's folder only entries stamped before the cutoff second go.
    const bool hasDiffFolder = IsDirectory(diffFolder);
    for (const std::string& day : ListDatedFolders(folder)) {
        if (day > cutoff.day) continue;
        const std::string dated = JoinPath(folder, day);
        if (day < cutoff.day && !hasDiffFolder) {
            DeletePath(dated, true);
            continue;
        }
        for (const std::string& name : ListDirectory(dated)) {
            const std::string entry = JoinPath(dated, name);
            const std::string title(BackupTitle(name, IsRealFolder(entry)));
            if (hasDiffFolder && IsDirectory(JoinPath(diffFolder, title))) continue;
            if (day == cutoff.day && !StampedBefore(title, cutoff)) continue;
            DeletePath(entry, true);
        }
        if (IsFolderEmpty(dated)) DeletePath(dated, true);
    }
}

}  // namespace zov
