#include "engine/restore/RestoreWithOptions.h"

#include "engine/restore/DifferentialEntry.h"
#include "engine/restore/RestoreRecord.h"
#include "engine/restore/RestoreSet.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {

std::string ContinueAfterBaseQuestion(const std::string& message) {
    return "基本文件复制（解压）操作失败:" + message + "\n\n是否继续还原操作？";
}

bool RestoreWithOptions(const RestoreOwner& owner, const std::string& differential, const std::string& target,
                        const std::string& base, std::string& message, const std::string& password,
                        bool appendName) {
    CQelLog record = RestoreRecord(owner.task.id, differential);
    std::string into = target;
    NormalizeDir(into);
    if (!MakeRestoreTarget(into, message)) return false;
    if (base.empty() || !PathExists(base)) {
        message = "还原时，基础文件（夹）" + base + "不存在";
        return false;
    }
    if (!RestoreItemExists(differential, message)) return false;
    if (appendName) {
        into += NameBeforeStamp(LastPathLevel(GetParentFolder(differential)));
        if (!MakeRestoreTarget(into, message)) return false;
    }
    const bool baseRestored = PutSetBack(owner, {base, into, password, true, differential}, message);
    if (!baseRestored && !owner.job.asker.AskYesNo(ContinueAfterBaseQuestion(message), kContinueCaption)) {
        WriteRestoreRecord(record, into, false, message);
        return false;
    }
    std::string entryMessage;
    const bool laid =
        LayDifferentialEntry(owner, {differential, into, password, false, differential}, entryMessage);
    if (!laid) message = entryMessage;
    const bool restored = baseRestored && laid;
    WriteRestoreRecord(record, into, restored, message);
    return restored;
}

}  // namespace zov
