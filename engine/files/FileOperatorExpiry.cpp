#include "engine/files/FileOperatorExpiry.h"

#include "engine/files/BackupNames.h"
#include "engine/files/FileOperatorDelete.h"
#include "engine/files/FileOperatorFolders.h"
#include "engine/util/CommonFiles.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov::fileops {

namespace {

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

// The entries expiry may delete one by one: files and folders themselves. Links (and anything else) are
// left alone, so nothing is ever reached through one.
bool IsSetEntry(EntryKind kind) { return kind == EntryKind::File || kind == EntryKind::Folder; }

}  // namespace

void DeleteExpiredSets(const std::string& storage, int keepDays) {
    Cutoff cutoff;
    if (keepDays <= 0 || !IsDirectory(storage) || !MakeCutoff(keepDays, cutoff)) return;
    const FolderHandle top = FolderHandle::Open(storage);
    for (const std::string& day : DatedFolderNames(top)) {
        const std::string shown = JoinPath(storage, day);
        if (day < cutoff.day) {
            RemoveLogged(top, day, shown, true);
        } else if (day == cutoff.day) {
            const FolderHandle dated = top.Child(day);
            for (const std::string& name : dated.Entries()) {
                if (dated.Kind(name) != EntryKind::File) continue;
                if (StampedBefore(BackupTitle(name, false), cutoff)) {
                    RemoveLogged(dated, name, JoinPath(shown, name), true);
                }
            }
            if (IsFolderEmpty(dated)) RemoveLogged(top, day, shown, true);
        }
    }
}

void DeleteExpiredDiffSets(const std::string& folder, int keepDays, const std::string& diffFolder) {
    Cutoff cutoff;
    if (keepDays <= 0 || !IsDirectory(folder) || !MakeCutoff(keepDays, cutoff)) return;

    if (diffFolder.empty()) {
        // The set folders "<name>_<stamp>" of the bases: their differential entries, named by stamp. A diff
        // folder that is a link is not used.
        const FolderHandle diff = FolderHandle::OpenReal(folder);
        for (const std::string& setName : diff.Entries()) {
            if (diff.Kind(setName) != EntryKind::Folder || !StampedBefore(setName, cutoff)) continue;
            const std::string shown = JoinPath(folder, setName);
            const FolderHandle set = diff.Child(setName);
            for (const std::string& name : set.Entries()) {
                const EntryKind kind = set.Kind(name);
                if (!IsSetEntry(kind)) continue;
                const std::string_view title = BackupTitle(name, kind == EntryKind::Folder);
                if (IsStampText(title) && title < cutoff.stamp)
                    RemoveLogged(set, name, JoinPath(shown, name), true);
            }
            if (IsFolderEmpty(set)) RemoveLogged(diff, setName, shown, true);
        }
        return;
    }

    // Full backups and bases. A base stays while its set folder under diffFolder exists, all its volumes
    // with it; in the cutoff day's folder only entries stamped before the cutoff second go. A diff folder
    // that is a link cannot tell which bases its sets need: then nothing here is deleted.
    const FolderHandle diff = FolderHandle::OpenReal(diffFolder);
    const bool hasDiffFolder = diff.IsOpen();
    if (!hasDiffFolder && PathExists(CleanPath(diffFolder))) return;
    const FolderHandle top = FolderHandle::Open(folder);
    for (const std::string& day : DatedFolderNames(top)) {
        if (day > cutoff.day) continue;
        const std::string shown = JoinPath(folder, day);
        if (day < cutoff.day && !hasDiffFolder) {
            RemoveLogged(top, day, shown, true);
            continue;
        }
        const FolderHandle dated = top.Child(day);
        for (const std::string& name : dated.Entries()) {
            const EntryKind kind = dated.Kind(name);
            if (!IsSetEntry(kind)) continue;
            const std::string title(BackupTitle(name, kind == EntryKind::Folder));
            if (hasDiffFolder && diff.Kind(title) == EntryKind::Folder) continue;
            if (day == cutoff.day && !StampedBefore(title, cutoff)) continue;
            RemoveLogged(dated, name, JoinPath(shown, name), true);
        }
        if (IsFolderEmpty(dated)) RemoveLogged(top, day, shown, true);
    }
}

}  // namespace zov::fileops
