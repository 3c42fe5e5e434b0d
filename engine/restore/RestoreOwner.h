#pragma once

#include <string>
#include <vector>

#include "engine/jobs/JobContext.h"
#include "engine/tasks/TaskInfo.h"

namespace zov {

// What the owner of a file restore (the restore dialog, the main window) gives each restore operation.
struct RestoreOwner {
    const TaskInfo& task;                          // its id goes into the records, its filter set to bases
    const std::vector<std::string>& checkedItems;  // the items of a restore with use-checked-items set
    std::string rarPath;                           // the archiver (GetRarPath() of the caller)
    JobContext job;
};

}  // namespace zov
