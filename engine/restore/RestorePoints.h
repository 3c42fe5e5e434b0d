#pragma once

#include <map>
#include <string>
#include <vector>

// The restore points of a task, read back from its storage folder as its backups wrote them: full sets
// "<dated folder>/<name>_<stamp>" (a folder, "<name>_<stamp>.rar" or its volumes) and the entries of their
// differential sets "diff/<name>_<stamp>/<stamp>" (a folder, ".rar" or volumes). Links are never entered
// nor listed.
namespace zov {

struct RestorePoint {
    std::string path;   // the folder, the archive or the first volume of a volume set
    std::string name;   // the item it holds: the source's name, or the sub-folder's for per-sub-folder tasks
    std::string stamp;  // the 14 digits of the run that wrote it
};

// Whole-folder layout: the full sets of the item named by the source's last level (the source itself need
// not exist any more), in dated-folder and name order, each title once (the volumes of a set give one
// point); then the entries of each set's differential folder in name order, without the empty folder
// named by the set's own stamp that keeps a copied base (the base is that point). False when the storage
// folder is not a folder or the source names no item.
bool CollectRestoreSets(const std::string& source, const std::string& storage,
                        std::vector<RestorePoint>& points);

// Per-sub-folder layout: the full sets of every item in the dated folders and the entries of each of their
// differential folders, grouped by stamp (ascending). An entry is known by its set folder and its title,
// so the entries that the sub-folders of one run wrote with the same stamp are all listed. False when the
// storage folder is not a folder.
using RestorePointMap = std::map<std::string, std::vector<RestorePoint>>;
bool CollectSubfolderRestoreSets(const std::string& storage, RestorePointMap& points);

// Database layout: the archives "<database>_<stamp>.rar" (or the first volume of a volume set) of every
// dated folder, by the name before the stamp (ascending), each stamp once per name, in dated-folder and name
// order. Folders are no database backups. False when the storage folder is not a folder.
bool CollectDatabaseBackups(const std::string& storage, RestorePointMap& backups);

// True for an entry of a differential set: its parent folder is not a dated folder.
bool IsDifferentialEntry(const std::string& path);

}  // namespace zov
