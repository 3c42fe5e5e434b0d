#pragma once

#include <string>

#include "engine/restore/RestoreOwner.h"

namespace zov {

// Restores a differential entry item (<storage>/diff/<set>/<stamp>, a folder or rar archive): first its
// base (FindDifferentialBase; an archive base through the task's filter set when the task uses one), then
// the entry laid over it (LayDifferentialEntry: the files its markers name are deleted). appendName puts
// both into target + the set's name before its stamp. useCheckedItems and the record as RestoreItem.
// False with the text: the target cannot be made, the item is missing, no base is found, no item is
// checked, or the base or the entry could not be put back completely.
bool RestoreItemTree(const RestoreOwner& owner, const std::string& item, const std::string& target,
                     std::string& message, bool useCheckedItems, const std::string& password,
                     bool appendName);

}  // namespace zov
