#pragma once

#include <stop_token>

namespace zov {

class SharedTaskStore;

// The service's expiry of old backups: for every task that keeps its backups a limited number of days,
// deletes the sets older than that.
class ExpiredBackups {
  public:
    explicit ExpiredBackups(SharedTaskStore& store) : store_(store) {}

    // One pass over every task of the shared store (brought up to task.db), each id once; it ends early on a
    // stop request.
    void RunPass(const std::stop_token& stop = {});

    // Passes a minute apart until a stop is requested.
    void Run(std::stop_token stop);

  private:
    SharedTaskStore& store_;
};

}  // namespace zov
