#pragma once

#include <ctime>
#include <set>
#include <stop_token>
#include <string>

#include "engine/QelXml.h"

namespace zov {

class RunQueue;

// The service's scheduler: reads task.db through a store of its own and queues every task due this
// minute.
class Scheduler {
  public:
    explicit Scheduler(RunQueue& queue);

    // One pass. With config.ini [SYSTEM] "switch" = "OFF" the queue is emptied; otherwise task.db is read
    // again and each task due now is queued. A due task whose folders the service does not use is logged
    // once, not on every pass of its minute. Returns the number of tasks queued.
    int RunPass();

    // Passes until a stop is requested: after each pass it sleeps 10 s and starts a new day in the daily
    // sections of temp.ini when the date changed.
    void Run(std::stop_token stop);

  private:
    // Queues the tasks due at now; refused receives the log text of each due task whose folders the
    // service does not use. Returns the number queued.
    int QueueDueTasks(std::time_t now, std::set<std::string>& refused);

    RunQueue& queue_;
    CQelXML store_;
    // The refusals of the previous pass, each logged when it first appeared.
    std::set<std::string> refused_;
};

}  // namespace zov
