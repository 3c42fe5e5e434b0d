#pragma once

#include <functional>
#include <string>

#include "engine/restore/RestoreOwner.h"

// Putting one backup set back on disk: a folder is copied, a rar archive extracted with the password retry.
namespace zov {

// Makes the restore's target folder, opened level by level from "/" (FolderHandle::OpenWalk): a level
// that is another user's link fails it. False with the text when it cannot be made.
bool MakeRestoreTarget(const std::string& target, std::string& message);

// False with the text when the restore item is missing.
bool RestoreItemExists(const std::string& item, std::string& message);

// Restores each of the owner's checked items in order with restore; the first failure ends it. No checked
// item: false with the text.
bool RestoreEachChecked(const RestoreOwner& owner, std::string& message,
                        const std::function<bool(const std::string&)>& restore);

// The name a set's title stands for: the title cut before its last '_' (the stamp part), whole without '_'.
std::string NameBeforeStamp(const std::string& title);

// How a set is put back.
struct SetRestore {
    std::string set;         // a folder or a rar archive (first volume)
    std::string target;      // the folder it goes into
    std::string password;    // "" gives none
    bool filtered = false;   // an archive is extracted through the task's filter set, when it is used
    std::string promptItem;  // the item the password prompt names
};

// Puts the set back into the target: a folder through CopyFolderTree (a folder of the target swapped for a
// link fails it), an archive extracted into the target made through the walk. False with the text: a set
// that is neither a folder nor a rar archive, no archiver, a failed copy (any entry not written) or extract
// (the archiver's text).
bool PutSetBack(const RestoreOwner& owner, const SetRestore& restore, std::string& message);

}  // namespace zov
