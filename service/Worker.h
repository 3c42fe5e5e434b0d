#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <utility>

#include "engine/jobs/JobContext.h"
#include "engine/tasks/TaskInfo.h"

namespace zov {

class CBackup;
class RunQueue;

// Runs one task with the given archiver as the job job; true on success, message receives the run's text.
using TaskRun = std::function<bool(const TaskInfo& task, const std::string& rarPath, std::string& message,
                                   const JobContext& job)>;

// The run of every task kind through backup: file tasks, SQL Server tasks and MySQL tasks.
TaskRun BackupTaskRun(CBackup& backup);

// A worker of the service: takes due tasks off the run queue, runs them and files each scheduled time
// under "SUCCEED" or "FAILED" in temp.ini. Each run's status lines go to the program folder's "StateLog"
// mailslot, its questions are answered by nobody (UnattendedAsker), and the worker's stop cuts it short.
class Worker {
  public:
    Worker(RunQueue& queue, TaskRun run) : queue_(queue), run_(std::move(run)) {}

    // Takes one runnable task and runs it with the stop. False when none was waiting. A run that fails
    // after a stop was requested is not filed: the stop cut it short, and its time stays under "RUNNING"
    // for the recovery at the next start.
    bool Step(const std::stop_token& stop = {});

    // Steps until a stop is requested, sleeping 1 s after every run; with nothing to run it waits for
    // the next queued entry.
    void Run(std::stop_token stop);

  private:
    // Files a finished run. A run that began on an earlier day only removes its "RUNNING" mark. A result
    // that cannot be written is logged, and the time stays "RUNNING".
    static void Record(const TaskInfo& task, bool succeeded, const std::string& startDay);

    RunQueue& queue_;
    TaskRun run_;
};

}  // namespace zov
