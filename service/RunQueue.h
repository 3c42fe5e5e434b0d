#pragma once

#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <tuple>

#include "engine/tasks/TaskInfo.h"

namespace zov {

// The service's queue of due tasks. Each entry is a copy of its task whose times field holds the one
// time it was queued for. Safe to use from the scheduler and every worker at once.
class RunQueue {
  public:
    // Appends the task unless its scheduled runs are off, its time is not "HH:MM", the time was started
    // on the day of when, already ran, runs or failed today (temp.ini), or the same task and time is
    // queued. True when appended.
    bool Enqueue(const TaskInfo& task, std::time_t when);

    // Takes entries off the front: an entry queued for a time later than the "HH:MM" of now or already
    // started that day is dropped. The first other one is noted as started and started in temp.ini
    // (StartScheduledRun); it is returned when that started it, and dropped otherwise: a time that ran,
    // runs or failed today, a task the management program runs now (logged) and a mark that could not be
    // written (logged as an error).
    std::optional<TaskInfo> TakeRunnable(std::time_t now);

    // Blocks until an entry is queued or a stop is requested; false on the stop.
    bool WaitForEntry(const std::stop_token& stop);

    void Clear();
    std::size_t Size() const;

  private:
    // Day ("%Y%m%d"), task id and time of a run started by this queue.
    using StartedRun = std::tuple<std::string, int, std::string>;

    mutable std::mutex mutex_;
    std::condition_variable_any queued_;
    std::deque<TaskInfo> tasks_;
    // The runs started on the latest day seen: a time is never started twice in a day, even when
    // temp.ini cannot be written.
    std::set<StartedRun> started_;
};

}  // namespace zov
