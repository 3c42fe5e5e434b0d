#include "engine/restore/RestoreItem.h"

#include "engine/files/BackupNames.h"
#include "engine/restore/DifferentialEntry.h"
#include "engine/restore/RestorePoints.h"
#include "engine/restore/RestoreRecord.h"
#include "engine/restore/RestoreSet.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {

bool RestoreItem(const RestoreOwner& owner, const std::string& item, const std::string& target,
                 std::string& message, bool useCheckedItems, const std::string& password, bool appendName) {
    CQelLog record = RestoreRecord(owner.task.id, item);
    if (!MakeRestoreTarget(target, message)) return false;
    if (useCheckedItems) {
        return RestoreEachChecked(owner, message, [&](const std::string& checked) {
            return RestoreItem(owner, checked, target, message, false, password, false);
        });
    }
    if (!RestoreItemExists(item, message)) return false;
    std::string into = target;
    NormalizeDir(into);
    if (appendName) {
        into += NameBeforeStamp(std::string(BackupTitle(LastPathLevel(item), IsDirectory(item))));
        if (!MakeRestoreTarget(into, message)) return false;
    }
    // A differential entry on its own: its markers delete, never land in the target.
    const SetRestore restore{item, into, password, false, item};
    const bool restored = IsDifferentialEntry(item) ? LayDifferentialEntry(owner, restore, message)
                                                    : PutSetBack(owner, restore, message);
    WriteRestoreRecord(record, into, restored, message);
    return restored;
}

}  // namespace zov
