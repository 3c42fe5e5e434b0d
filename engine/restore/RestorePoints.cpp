#include "engine/restore/RestorePoints.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "engine/files/FileOperatorFolders.h"
#include "engine/restore/RestoreSet.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/FolderHandle.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// The title of a backup entry of the folder: a folder's name, a ".rar" file's title without its volume
// suffix; nullopt for links and every other entry.
std::optional<std::string> SetTitle(const FolderHandle& folder, const std::string& entry) {
    const EntryKind kind = folder.Kind(entry);
    if (kind == EntryKind::Folder) return entry;
    if (kind == EntryKind::File && IsArchiveName(entry)) return std::string(BackupTitle(entry, false));
    return std::nullopt;
}

// The path a set is restored from: a volume set from its first volume.
std::string SetPath(const FolderHandle& folder, const std::string& folderPath, const std::string& entry,
                    const std::string& title) {
    if (VolumeNumber(entry) == 0) return JoinPath(folderPath, entry);
    const std::string first = FindVolumeName(JoinPath(folderPath, title));
    return folder.Kind(LastPathLevel(first)) == EntryKind::File ? first : JoinPath(folderPath, entry);
}

// Calls take(title, path) for the first entry of each set title in the folder, in name order.
void ForEachSet(const FolderHandle& folder, const std::string& folderPath,
                const std::function<void(const std::string&, const std::string&)>& take) {
    std::vector<std::string> seen;
    for (const std::string& entry : folder.Entries()) {
        const std::optional<std::string> title = SetTitle(folder, entry);
        if (!title || std::find(seen.begin(), seen.end(), *title) != seen.end()) continue;
        seen.push_back(*title);
        take(*title, SetPath(folder, folderPath, entry, *title));
    }
}

// Calls take(title, path) for the full sets of every dated folder of the storage folder that accept(title,
// path) takes, each title once. The titles taken, in order.
std::vector<std::string> ForEachFullSet(
    const FolderHandle& storage, const std::string& storagePath,
    const std::function<bool(const std::string&, const std::string&)>& accept,
    const std::function<void(const std::string&, const std::string&)>& take) {
    std::vector<std::string> titles;
    for (const std::string& day : fileops::DatedFolderNames(storage)) {
        ForEachSet(
            storage.Child(day), JoinPath(storagePath, day),
            [&](const std::string& title, const std::string& path) {
                if (!accept(title, path) || std::find(titles.begin(), titles.end(), title) != titles.end())
                    return;
                titles.push_back(title);
                take(title, path);
            });
    }
    return titles;
}

// True for the empty folder named by its set's own stamp that a copied base leaves in its differential
// folder to keep the base: it restores nothing the base itself does not.
bool IsBaseMarker(const FolderHandle& setFolder, const std::string& set, const std::string& title) {
    return title == StampOfTitle(set) && setFolder.Kind(title) == EntryKind::Folder &&
           setFolder.Child(title).IsOpen() && setFolder.Child(title).Entries().empty();
}

// Calls take(set title, entry stamp, path) for the entries of the differential folder of each set title,
// the base markers left out.
void ForEachDifferentialEntry(
    const FolderHandle& storage, const std::string& storagePath, const std::vector<std::string>& sets,
    const std::function<void(const std::string&, const std::string&, const std::string&)>& take) {
    const FolderHandle diff = storage.Child(kDiffFolderName);
    if (!diff.IsOpen()) return;
    const std::string diffPath = JoinPath(storagePath, kDiffFolderName);
    for (const std::string& set : sets) {
        const FolderHandle setFolder = diff.Child(set);
        ForEachSet(setFolder, JoinPath(diffPath, set),
                   [&](const std::string& title, const std::string& path) {
                       if (IsStampText(title) && !IsBaseMarker(setFolder, set, title)) take(set, title, path);
                   });
    }
}

}  // namespace

bool CollectRestoreSets(const std::string& source, const std::string& storage,
                        std::vector<RestorePoint>& points) {
    points.clear();
    const FolderHandle root = FolderHandle::Open(storage);
    const std::string name = BackupItemName(source);
    if (!root.IsOpen() || name.empty()) return false;
    const std::string prefix = name + "_";
    const auto isItemSet = [&](const std::string& title, const std::string&) {
        return title.starts_with(prefix) && IsStampText(std::string_view(title).substr(prefix.size()));
    };
    const std::vector<std::string> sets =
        ForEachFullSet(root, storage, isItemSet, [&](const std::string& title, const std::string& path) {
            points.push_back({path, name, title.substr(prefix.size())});
        });
    ForEachDifferentialEntry(root, storage, sets,
                             [&](const std::string&, const std::string& stamp, const std::string& path) {
                                 points.push_back({path, name, stamp});
                             });
    return true;
}

bool CollectSubfolderRestoreSets(const std::string& storage, RestorePointMap& points) {
    points.clear();
    const FolderHandle root = FolderHandle::Open(storage);
    if (!root.IsOpen()) return false;
    const auto hasStamp = [](const std::string& title, const std::string&) {
        return !StampOfTitle(title).empty();
    };
    const std::vector<std::string> sets =
        ForEachFullSet(root, storage, hasStamp, [&](const std::string& title, const std::string& path) {
            const std::string stamp(StampOfTitle(title));
            points[stamp].push_back({path, NameBeforeStamp(title), stamp});
        });
    ForEachDifferentialEntry(root, storage, sets,
                             [&](const std::string& set, const std::string& stamp, const std::string& path) {
                                 points[stamp].push_back({path, NameBeforeStamp(set), stamp});
                             });
    return true;
}

bool CollectDatabaseBackups(const std::string& storage, RestorePointMap& backups) {
    backups.clear();
    const FolderHandle root = FolderHandle::Open(storage);
    if (!root.IsOpen()) return false;
    const auto isArchive = [](const std::string& title, const std::string& path) {
        return !StampOfTitle(title).empty() && IsArchiveName(path);
    };
    ForEachFullSet(root, storage, isArchive, [&](const std::string& title, const std::string& path) {
        const std::string name = NameBeforeStamp(title);
        backups[name].push_back({path, name, std::string(StampOfTitle(title))});
    });
    return true;
}

bool IsDifferentialEntry(const std::string& path) {
    return !IsDatedFolderName(LastPathLevel(GetParentFolder(CleanPath(path))));
}

}  // namespace zov
