#pragma once

#include <string>

#include "engine/util/FolderHandle.h"

// Where a run writes: the folders it writes into, used only when they are real folders, and the removal of
// what a run that did not end left there.
namespace zov {

// Makes a folder a run writes into when it is missing (0700, as CFileOperator::CreateFolder makes it) and
// opens it. Not open, with message set, when it cannot be made or opened, or when it is a symbolic link: a
// link would send the backup outside the storage folder.
FolderHandle OpenBackupFolder(const std::string& path, std::string& message);

// Removes from the dated folder what a run of the set itemStamp ("<item>_<stamp>") leaves when it does
// not end (RunOutputOf): its copy set being written when that is a real folder, and its archive files and
// the archiver's temporary files when they are regular files. Links are never followed nor removed, and
// nothing is done in a dated folder that is a link. False with failed = the entries that could not be
// removed.
bool RemoveRunOutput(const std::string& datedFolder, const std::string& itemStamp, std::string& failed);

// The same for the differential sets of a run of item at stamp: RemoveRunOutput(folder, stamp) in every
// set folder "<item>_<stamp of its base>" of storage + "diff/" that is a real folder.
bool RemoveDiffRunOutput(const std::string& storage, const std::string& item, const std::string& stamp,
                         std::string& failed);

// Removes from the dated folder the archiver's temporary files (StampOfArchiverTemporary) of archives
// stamped at or after stamp, as a database run that did not end leaves them; its finished archives stay.
// Regular files only; nothing is done in a dated folder that is a link. False with failed as above.
bool RemoveArchiverTemporariesSince(const std::string& datedFolder, const std::string& stamp,
                                    std::string& failed);

// text followed by the system's reason for the error number ("（No space left on device）"); text
// alone for 0.
std::string WithSystemReason(const std::string& text, int code);

}  // namespace zov
