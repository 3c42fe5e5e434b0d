#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "engine/jobs/JobContext.h"
#include "gui/restore/RestoreBox.h"

class QObject;

namespace zov::gui {

// The worker threads of one window's restores. Each restore runs on a thread of its own with a job context
// of its own: no status lines, its questions asked in the window (WindowAsker), a stop that the owner
// requests when it stops its restores. Its closing box goes to the window thread through a queued call
// while the owner lives; a restore that outlives its owner ends by itself and its box is dropped.
class RestoreThreads {
  public:
    // Run on the restore's thread.
    using Job = std::function<RestoreBox(const JobContext&)>;
    // Run on the window thread with the box of the restore.
    using Done = std::function<void(const RestoreBox&)>;

    // How long the owner's end waits for its restores: longer than an archiver that ignores SIGTERM takes
    // to be killed.
    static constexpr std::chrono::milliseconds kEndBound{3000};

    explicit RestoreThreads(QObject* owner);
    // Stops every restore and waits at most kEndBound for them.
    ~RestoreThreads();
    RestoreThreads(const RestoreThreads&) = delete;
    RestoreThreads& operator=(const RestoreThreads&) = delete;

    // Starts the job on a new thread, done to follow on the window thread; false when no thread could be
    // started.
    bool Start(Job job, Done done);
    // Restores whose threads have not ended.
    int Running() const;
    // Requests every restore's stop and waits at most bound for their ends. With serveCalls the window
    // thread meanwhile serves the calls of the restores (a stopped restore's question returns at once) and
    // the owner's other events except user input. True when none runs any more.
    bool StopAll(std::chrono::milliseconds bound, bool serveCalls);

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace zov::gui
