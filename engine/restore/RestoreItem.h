#pragma once

#include <string>

#include "engine/restore/RestoreOwner.h"

namespace zov {

// Restores a full backup set item (a folder, copied back, or a rar archive, extracted with the password
// retry) into target; a differential entry on its own is laid over target as LayDifferentialEntry does
// (its markers delete, none is written); appendName puts it into target + the set's name (its title before
// the stamp). useCheckedItems: restores each of the owner's checked items instead, into target as it is (no
// record of its own). One file-log record per restored item once its target is known. False with the text in
// message: the target cannot be made, the item is missing, no item is checked, or the copy or extract
// failed (files already written stay).
bool RestoreItem(const RestoreOwner& owner, const std::string& item, const std::string& target,
                 std::string& message, bool useCheckedItems, const std::string& password, bool appendName);

}  // namespace zov
