#include "gui/restore/FileRestoreRun.h"

#include <vector>

#include "engine/restore/RestoreItem.h"
#include "engine/restore/RestoreItemTree.h"
#include "engine/restore/RestorePoints.h"
#include "engine/restore/RestoreSet.h"
#include "engine/restore/RestoreWithOptions.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov::gui {

RestoreBox RunFileRestore(const FileRestoreRequest& request, const TaskInfo& task, const std::string& rarPath,
                          const JobContext& job) {
    std::string message;
    if (!RestoreItemExists(request.source, message)) return FileRestoreBox(false, message);
    if (PathExists(request.target) && !IsDirectory(request.target))
        return FileRestoreBox(false, "还原时，目标" + request.target + "不是文件夹");
    const RestoreOwner owner{task, request.checkedItems, rarPath, job};
    const auto restore = [&](const std::string& item, bool differential) {
        return differential
                   ? RestoreItemTree(owner, item, request.target, message, false, request.password, false)
                   : RestoreItem(owner, item, request.target, message, false, request.password, false);
    };
    const bool restored = request.sets == 0
                              ? restore(request.source, request.differential != 0)
                              : RestoreEachChecked(owner, message, [&](const std::string& item) {
                                    return restore(item, IsDifferentialEntry(item));
                                });
    return FileRestoreBox(restored, message);
}

RestoreBox RunBatchRestore(const RestoreBatch& batch, const TaskInfo& task, const std::string& rarPath,
                           const JobContext& job) {
    const std::vector<std::string> noCheckedItems;
    const RestoreOwner owner{task, noCheckedItems, rarPath, job};
    std::vector<std::string> failures;
    for (const auto& [index, options] : batch) {
        if (job.stop.stop_requested()) {
            failures.push_back("还原被中断");
            break;
        }
        std::string target = options.target;
        NormalizeDir(target);
        std::string message;
        const bool restored =
            options.base.empty()
                ? RestoreItem(owner, options.differential, target, message, false, options.password, false)
                : RestoreWithOptions(owner, options.differential, target, options.base, message,
                                     options.password, false);
        if (!restored) failures.push_back(options.differential + "：" + message);
    }
    std::string text;
    for (const std::string& failure : failures) text += (text.empty() ? "" : "\n") + failure;
    return FileRestoreBox(failures.empty(), text);
}

}  // namespace zov::gui
