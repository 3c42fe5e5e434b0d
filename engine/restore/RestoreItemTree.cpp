#include "engine/restore/RestoreItemTree.h"

#include "engine/restore/DifferentialBase.h"
#include "engine/restore/DifferentialEntry.h"
#include "engine/restore/RestoreRecord.h"
#include "engine/restore/RestoreSet.h"
#include "engine/util/CommonPaths.h"

namespace zov {

bool RestoreItemTree(const RestoreOwner& owner, const std::string& item, const std::string& target,
                     std::string& message, bool useCheckedItems, const std::string& password,
                     bool appendName) {
    CQelLog record = RestoreRecord(owner.task.id, item);
    if (!MakeRestoreTarget(target, message)) return false;
    if (useCheckedItems) {
        return RestoreEachChecked(owner, message, [&](const std::string& checked) {
            return RestoreItemTree(owner, checked, target, message, false, password, false);
        });
    }
    if (!RestoreItemExists(item, message)) return false;
    const std::string base = FindDifferentialBase(item);
    if (base.empty()) {
        message = "还原时，未找到差异文件" + item + "的基准库";
        return false;
    }
    std::string into = target;
    NormalizeDir(into);
    if (appendName) {
        into += NameBeforeStamp(LastPathLevel(GetParentFolder(item)));
        if (!MakeRestoreTarget(into, message)) return false;
    }
    const bool restored = PutSetBack(owner, {base, into, password, true, item}, message) &&
                          LayDifferentialEntry(owner, {item, into, password, false, item}, message);
    WriteRestoreRecord(record, into, restored, message);
    return restored;
}

}  // namespace zov
