#pragma once

#include <stop_token>

#include "engine/QelXml.h"

namespace zov {

class RunQueue;

// The service's scheduler: reads task.db through a store of its own and queues every task due this
// minute.
class Scheduler {
  public:
    explicit Scheduler(RunQueue& queue);

    // One pass. With config.ini [SYSTEM] "switch" = "OFF" the queue is emptied; otherwise task.db is read
    // again and each task due now is queued. Returns the number of tasks queued.
    int RunPass();

    // Passes until a stop is requested: after each pass it sleeps 10 s and starts a new day in the daily
    // sections of temp.ini when the date changed.
    void Run(std::stop_token stop);

  private:
    RunQueue& queue_;
    CQelXML store_;
};

}  // namespace zov
