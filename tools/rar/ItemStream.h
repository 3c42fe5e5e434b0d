#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "tools/rar/SourceTree.h"

namespace zov::rar {

// The listed items, handed from the thread that lists the sources to the one that archives them, in order
// and in runs; a bounded number of runs waits, so the listing runs ahead of the archive by that much only.
class ItemStream {
  public:
    // False when the reader stopped: the listing ends.
    bool Put(std::vector<SourceItem> run) {
        std::unique_lock lock(mutex_);
        space_.wait(lock, [this] { return stopped_ || runs_.size() < kWaitingRuns; });
        if (stopped_) return false;
        runs_.push_back(std::move(run));
        ready_.notify_one();
        return true;
    }

    // The listing is complete.
    void End() {
        std::lock_guard lock(mutex_);
        ended_ = true;
        ready_.notify_one();
    }

    // The next run; empty once the listing ended and everything was taken.
    std::vector<SourceItem> Take() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return ended_ || !runs_.empty(); });
        if (runs_.empty()) return {};
        std::vector<SourceItem> run = std::move(runs_.front());
        runs_.pop_front();
        space_.notify_one();
        return run;
    }

    // The reader takes nothing more.
    void Stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        runs_.clear();
        space_.notify_one();
    }

  private:
    static constexpr std::size_t kWaitingRuns = 64;

    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable space_;
    std::deque<std::vector<SourceItem>> runs_;
    bool ended_ = false;
    bool stopped_ = false;
};

}  // namespace zov::rar
