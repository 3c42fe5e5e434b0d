#pragma once

#include <string>
#include <string_view>

#include "engine/files/PendingSet.h"
#include "engine/util/FolderHandle.h"

// Where a run writes: the folders it writes into, used only when they are real folders, and the removal of
// what a run that did not end left there.
namespace zov {

// Makes a folder a run writes into when it is missing (0700, as CFileOperator::CreateFolder makes it) and
// opens it. Not open, with message set, when it cannot be made or opened, or when it is a symbolic link: a
// link would send the backup outside the storage folder.
FolderHandle OpenBackupFolder(const std::string& path, std::string& message);

// Discards the work folder of a set that failed; a work folder that cannot be removed is named at the end
// of message.
void DiscardSet(PendingSet& set, std::string& message);

// Removes from folder (a dated folder or a differential set folder) the work folders of task taskId
// (PartialSetName) whose title's stamp is stamp or later, as a run that did not end leaves them. Only real
// folders are removed, never through a link, and nothing is done in a folder that is a link. False with
// failed = the entries that could not be removed.
bool RemovePartialSets(const std::string& folder, int taskId, std::string_view stamp, std::string& failed);

// The same in every set folder of storage + "diff/" that is a real folder.
bool RemoveDiffPartialSets(const std::string& storage, int taskId, std::string_view stamp,
                           std::string& failed);

}  // namespace zov
