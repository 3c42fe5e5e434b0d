#pragma once

#include <string>

#include "engine/restore/RestoreOwner.h"
#include "engine/restore/RestoreSet.h"

// Laying a differential entry over the base already restored in its target.
namespace zov {

// Deletes from the target every entry that a deletion marker of the entry (a folder or rar archive,
// restore.set) names, at the same place below it, then copies the rest of the entry into the target.
// Only the entry's own markers count: a marker that was in the target before deletes nothing, and no
// marker of the entry is written to the target. An archive entry is first extracted into a private
// temporary folder under the cache folder, deleted afterwards. Deletions never follow a link. False with
// the text when the entry cannot be read or any file cannot be deleted or written.
bool LayDifferentialEntry(const RestoreOwner& owner, const SetRestore& restore, std::string& message);

}  // namespace zov
