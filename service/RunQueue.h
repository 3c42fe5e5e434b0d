#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "engine/TaskInfo.h"

namespace zov {

// The service's queue of due tasks. Each entry is a copy of its task whose times field holds the one
// time it was queued for. Safe to use from the scheduler and every worker at once.
class RunQueue {
  public:
    // Appends the task unless its scheduled runs are off, its time is not "HH:MM", the time already ran,
    // runs or failed today (temp.ini), or the same task and time is queued. True when appended.
    bool Enqueue(const TaskInfo& task);

    // Takes entries off the front: an entry queued for a time later than now ("HH:MM") or already marked
    // "RUNNING" is dropped; the first other one is marked "RUNNING" in temp.ini and returned.
    std::optional<TaskInfo> TakeRunnable(const std::string& now);

    void Clear();
    std::size_t Size() const;

  private:
    mutable std::mutex mutex_;
    std::deque<TaskInfo> tasks_;
};

}  // namespace zov
