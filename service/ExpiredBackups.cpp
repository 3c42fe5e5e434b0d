#include "service/ExpiredBackups.h"

#include <set>
#include <utility>
#include <vector>

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
    std::map<int, LastPass> passes;
    for (const TaskInfo& task : tasks) {
        if (stop.stop_requested()) return;
        if (task.id < 1 || !seen.insert(task.id).second || task.keepDays == 0) continue;
        // A storage folder that is not absolute would be taken from the working folder.
        if (!IsAbsolutePath(task.dest)) continue;
        LastPass pass{WithTrailingSlash(task.dest), task.keepDays, task.IsFileTask(), {}};
        const auto last = lastPasses_.find(task.id);
        if (last != lastPasses_.end() && last->second.storage == pass.storage &&
            last->second.keepDays == pass.keepDays && last->second.fileTask == pass.fileTask &&
            last->second.watch.Holds(pass.keepDays)) {
            passes.insert(*last);
            continue;
        }
        const std::string& storage = pass.storage;
        if (pass.fileTask) {
            fileops::DeleteExpiredDiffSets(storage + "diff", task.keepDays, "", &pass.watch);
            fileops::DeleteExpiredDiffSets(storage, task.keepDays, storage + "diff", &pass.watch);
        } else {
            fileops::DeleteExpiredSets(storage, task.keepDays, &pass.watch);
        }
        passes.emplace(task.id, std::move(pass));
    }
    lastPasses_ = std::move(passes);
}

void ExpiredBackups::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        RunPass(stop);
        SleepUnlessStopped(stop, kPassInterval);
    }
}

}  // namespace zov
