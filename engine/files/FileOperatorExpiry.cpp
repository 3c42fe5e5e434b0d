#include "engine/files/FileOperatorExpiry.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

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

// A folder changed this recently may change again within the same tick of the file system's clock.
constexpr std::chrono::seconds kSettleTime{1};

// True when stamp is before the cutoff second; a stamp the cutoff has not passed yet is pending.
bool Before(std::string_view stamp, const Cutoff& cutoff, ExpiryWatch* watch) {
    if (stamp < cutoff.stamp) return true;
    if (watch != nullptr) watch->Pending(stamp);
    return false;
}

// True when the entry's title carries a stamp before the cutoff second.
bool StampedBefore(std::string_view title, const Cutoff& cutoff, ExpiryWatch* watch) {
    const std::string_view stamp = StampOfTitle(title);
    return !stamp.empty() && Before(stamp, cutoff, watch);
}

// Removes an expired entry; one that stays keeps the watch unsettled, so that it is tried again.
void Remove(const FolderHandle& folder, const std::string& name, const std::string& shown,
            ExpiryWatch* watch) {
    if (RemoveLogged(folder, name, shown, true) != 0 && watch != nullptr) watch->Unsettle();
}

// Opens a folder for a pass, noting it in the watch.
FolderHandle Watched(FolderHandle folder, const std::string& path, ExpiryWatch* watch) {
    if (watch != nullptr) {
        if (folder.IsOpen()) {
            watch->Listed(folder, path);
        } else {
            watch->NotAFolder(path);
        }
    }
    return folder;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool Recent(const timespec& when) {
    const auto since = std::chrono::system_clock::now() -
                       std::chrono::system_clock::time_point(std::chrono::seconds(when.tv_sec) +
                                                             std::chrono::nanoseconds(when.tv_nsec));
    return since < kSettleTime;
}

// The entries expiry may delete one by one: files and folders themselves. Links (and anything else) are
// left alone, so nothing is ever reached through one.
bool IsSetEntry(EntryKind kind) { return kind == EntryKind::File || kind == EntryKind::Folder; }

// The cutoff of a pass over folder; false when there is nothing to do (noted in the watch).
bool StartPass(const std::string& folder, int keepDays, Cutoff& cutoff, ExpiryWatch* watch) {
    if (keepDays <= 0) return false;
    if (!IsDirectory(folder)) {
        if (watch != nullptr) watch->NotAFolder(folder);
        return false;
    }
    if (!MakeCutoff(keepDays, cutoff)) {
        if (watch != nullptr) watch->Unsettle();
        return false;
    }
    if (watch != nullptr) watch->CutoffDay(cutoff.day);
    return true;
}

}  // namespace

void DeleteExpiredSets(const std::string& storage, int keepDays, ExpiryWatch* watch) {
    Cutoff cutoff;
    if (!StartPass(storage, keepDays, cutoff, watch)) return;
    const FolderHandle top = Watched(FolderHandle::Open(storage), storage, watch);
    for (const std::string& day : DatedFolderNames(top)) {
        const std::string shown = JoinPath(storage, day);
        if (day < cutoff.day) {
            Remove(top, day, shown, watch);
        } else if (day == cutoff.day) {
            const FolderHandle dated = Watched(top.Child(day), shown, watch);
            for (const std::string& name : dated.Entries()) {
                if (dated.Kind(name) != EntryKind::File) continue;
                if (StampedBefore(BackupTitle(name, false), cutoff, watch)) {
                    Remove(dated, name, JoinPath(shown, name), watch);
                }
            }
            if (IsFolderEmpty(dated)) Remove(top, day, shown, watch);
        }
    }
}

void DeleteExpiredDiffSets(const std::string& folder, int keepDays, const std::string& diffFolder,
                           ExpiryWatch* watch) {
    Cutoff cutoff;
    if (!StartPass(folder, keepDays, cutoff, watch)) return;

    if (diffFolder.empty()) {
        // The set folders "<name>_<stamp>" of the bases: their differential entries, named by stamp. A diff
        // folder that is a link is not used.
        const FolderHandle diff = Watched(FolderHandle::OpenReal(folder), folder, watch);
        for (const std::string& setName : diff.Entries()) {
            if (diff.Kind(setName) != EntryKind::Folder || !StampedBefore(setName, cutoff, watch)) continue;
            const std::string shown = JoinPath(folder, setName);
            const FolderHandle set = Watched(diff.Child(setName), shown, watch);
            for (const std::string& name : set.Entries()) {
                const EntryKind kind = set.Kind(name);
                if (!IsSetEntry(kind)) continue;
                const std::string_view title = BackupTitle(name, kind == EntryKind::Folder);
                if (IsStampText(title) && Before(title, cutoff, watch))
                    Remove(set, name, JoinPath(shown, name), watch);
            }
            if (IsFolderEmpty(set)) Remove(diff, setName, shown, watch);
        }
        return;
    }

    // Full backups and bases. A base stays while its set folder under diffFolder exists, all its volumes
    // with it; in the cutoff day's folder only entries stamped before the cutoff second go. A diff folder
    // that is a link cannot tell which bases its sets need: then nothing here is deleted.
    const FolderHandle diff = Watched(FolderHandle::OpenReal(diffFolder), diffFolder, watch);
    const bool hasDiffFolder = diff.IsOpen();
    if (!hasDiffFolder && PathExists(CleanPath(diffFolder))) return;
    const FolderHandle top = Watched(FolderHandle::Open(folder), folder, watch);
    for (const std::string& day : DatedFolderNames(top)) {
        if (day > cutoff.day) continue;
        const std::string shown = JoinPath(folder, day);
        if (day < cutoff.day && !hasDiffFolder) {
            Remove(top, day, shown, watch);
            continue;
        }
        const FolderHandle dated = Watched(top.Child(day), shown, watch);
        for (const std::string& name : dated.Entries()) {
            const EntryKind kind = dated.Kind(name);
            if (!IsSetEntry(kind)) continue;
            const std::string title(BackupTitle(name, kind == EntryKind::Folder));
            if (hasDiffFolder && diff.Kind(title) == EntryKind::Folder) continue;
            if (day == cutoff.day && !StampedBefore(title, cutoff, watch)) continue;
            Remove(dated, name, JoinPath(shown, name), watch);
        }
        if (IsFolderEmpty(dated)) Remove(top, day, shown, watch);
    }
}

void ExpiryWatch::Clear() {
    seen_.clear();
    day_.clear();
    pending_.clear();
    settled_ = true;
}

void ExpiryWatch::Listed(const FolderHandle& folder, const std::string& path) {
    struct stat st {};
    if (fstat(folder.fd(), &st) != 0 || Recent(st.st_mtim) || Recent(st.st_ctim)) settled_ = false;
    seen_.push_back({path, true, st.st_dev, st.st_ino, st.st_mtim, st.st_ctim});
}

void ExpiryWatch::NotAFolder(const std::string& path) { seen_.push_back({path, false, 0, 0, {}, {}}); }

void ExpiryWatch::CutoffDay(const std::string& day) {
    // Passes on either side of midnight do not make one picture.
    if (!day_.empty() && day != day_) settled_ = false;
    day_ = day;
}

void ExpiryWatch::Pending(std::string_view stamp) {
    if (pending_.empty() || stamp < pending_) pending_ = stamp;
}

bool ExpiryWatch::Holds(int keepDays) const {
    Cutoff cutoff;
    if (!settled_ || seen_.empty() || !MakeCutoff(keepDays, cutoff) || cutoff.day != day_) return false;
    if (!pending_.empty() && pending_ < cutoff.stamp) return false;
    return std::all_of(seen_.begin(), seen_.end(), [](const Seen& seen) {
        struct stat st {};
        const bool folder = stat(seen.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (!folder || !seen.folder) return folder == seen.folder;
        return st.st_dev == seen.device && st.st_ino == seen.inode && SameTime(st.st_mtim, seen.modified) &&
               SameTime(st.st_ctim, seen.changed);
    });
}

}  // namespace zov::fileops
