#pragma once

#include <ctime>
#include <set>
#include <stop_token>
#include <string>

namespace zov {

class RunQueue;
class SharedTaskStore;

// The service's scheduler: queues every task of the shared store due this minute.
class Scheduler {
  public:
    Scheduler(RunQueue& queue, SharedTaskStore& store);

    // One pass, deciding everything by one reading of the clock: starts a new day in temp.ini when the
    // date changed; with config.ini [SYSTEM] "switch" = "OFF" the queue is emptied; otherwise the store is
    // brought up to task.db and each task due now is queued. A due task whose folders the service does not
    // use is logged once, not on every pass of its minute. Returns the number of tasks queued.
    int RunPass();

    // Passes 10 s apart until a stop is requested.
    void Run(std::stop_token stop);

  private:
    // Starts a new day in temp.ini when the date of now is later; a failure is logged when it begins.
    void StartDay(std::time_t now);
    // Queues the tasks due at now; refused receives the log text of each due task whose folders the
    // service does not use. Returns the number queued.
    int QueueDueTasks(std::time_t now, std::set<std::string>& refused);

    RunQueue& queue_;
    SharedTaskStore& store_;
    // The refusals of the previous pass, each logged when it first appeared.
    std::set<std::string> refused_;
    // Whether the previous pass failed to start a new day in temp.ini.
    bool resetFailed_ = false;
};

}  // namespace zov
