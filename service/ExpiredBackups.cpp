#include "service/ExpiredBackups.h"

#include <set>
#include <vector>

#include "engine/files/FileOperator.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "service/SharedTaskStore.h"

namespace zov {
namespace {

// Backups are kept for whole days: a minute late is soon enough, and a pass over a full store's storage
// folders costs too much to repeat every few seconds.
constexpr std::chrono::milliseconds kPassInterval{60000};

}  // namespace

void ExpiredBackups::RunPass(const std::stop_token& stop) {
    store_.Refresh();
    // The tasks themselves, not every number up to the highest id: one stored id near the top of the int
    // range would make a pass count for minutes.
    std::vector<TaskInfo> tasks;
    store_.store().GetAllTasks(tasks);
    std::set<int> seen;
    for (const TaskInfo& task : tasks) {
        if (stop.stop_requested()) return;
        if (task.id < 1 || !seen.insert(task.id).second || task.keepDays == 0) continue;
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
        RunPass(stop);
        SleepUnlessStopped(stop, kPassInterval);
    }
}

}  // namespace zov
