#pragma once

#include <string>

#include "engine/jobs/JobContext.h"
#include "engine/tasks/TaskInfo.h"
#include "gui/restore/RestoreBox.h"
#include "gui/restore/RestoreRequests.h"

// The two file restores of the restore dialog and the main window, run on a worker thread with the file
// restore operations; the task gives the records' task id and the filter set of archive bases. Both end in
// a file restore's box (FileRestoreBox).
namespace zov::gui {

// The request's items into its target: the source alone (sets 0), as a differential entry laid over its
// base when the request says so; or each checked item in order (sets 1), each by its own kind
// (IsDifferentialEntry), the first failure ending the run. A restore that cannot start (the source is
// missing, the target is something other than a folder) fails and says why.
RestoreBox RunFileRestore(const FileRestoreRequest& request, const TaskInfo& task, const std::string& rarPath,
                          const JobContext& job);

// Each item of the batch in key order with its own options: over its base when it names one, else alone.
// Every item runs whatever the ones before did, until a stop; the box fails when any item failed and
// names each failure.
RestoreBox RunBatchRestore(const RestoreBatch& batch, const TaskInfo& task, const std::string& rarPath,
                           const JobContext& job);

}  // namespace zov::gui
