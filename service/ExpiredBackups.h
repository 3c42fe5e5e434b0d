#pragma once

#include <map>
#include <stop_token>
#include <string>

#include "engine/files/FileOperatorExpiry.h"

namespace zov {

class SharedTaskStore;

// The service's expiry of old backups: for every task that keeps its backups a limited number of days,
// deletes the sets older than that. A task whose storage folders show no change since its last pass, and
// whose next expiry moment has not come, is passed over: that pass would find nothing to delete.
class ExpiredBackups {
  public:
    explicit ExpiredBackups(SharedTaskStore& store) : store_(store) {}

    // One pass over every task of the shared store (brought up to task.db), each id once; it ends early on a
    // stop request.
    void RunPass(const std::stop_token& stop = {});

    // Passes a minute apart until a stop is requested.
    void Run(std::stop_token stop);

  private:
    // What the last pass of a task saw, for the task as it was then.
    struct LastPass {
        std::string storage;
        int keepDays = 0;
        bool fileTask = false;
        fileops::ExpiryWatch watch;
    };

    SharedTaskStore& store_;
    std::map<int, LastPass> lastPasses_;
};

}  // namespace zov
