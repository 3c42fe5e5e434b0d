#include "service/ExpiredBackups.h"

#include "engine/FileOperator.h"
#include "engine/QelXml.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {

void ExpiredBackups::RunPass() {
    store_.Load();
    const int lastId = store_.GetMaxTaskId();
    for (int id = 1; id <= lastId; ++id) {
        TaskInfo task;
        if (!store_.GetTaskById(id, task) || task.keepDays == 0) continue;
        // A storage folder that is not absolute would be taken from the working folder.
        if (!IsAbsolutePath(task.dest)) continue;
        const std::string storage = WithTrailingSlash(task.dest);
        CFileOperator files;
        if (task.IsFileTask()) {
            files.DeleteExpiredDiffSets(storage + "diff", task.keepDays, "");
            files.DeleteExpiredDiffSets(storage, task.keepDays, storage + "diff");
        } else {
            files.DeleteExpiredSets(storage, task.keepDays);
        }
    }
}

void ExpiredBackups::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        RunPass();
        SleepUnlessStopped(stop, std::chrono::milliseconds(10000));
    }
}

}  // namespace zov
