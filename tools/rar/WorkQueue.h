#pragma once

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zov::rar {

// The threads to use when -mt does not say: one per core this process may run on.
inline std::size_t CoreCount() {
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0)
        return static_cast<std::size_t>(std::max(1, CPU_COUNT(&cores)));
    return static_cast<std::size_t>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
}

// Jobs handed out at once: every thread has the next ones waiting, and the blocks of several large encrypted
// entries are in flight together, so that their authentication codes, each taken in turn, overlap.
inline std::size_t JobsInFlight(std::size_t threads) { return 4 * threads + 2; }

// Threads that run the jobs handed to them, while the thread that hands them out waits for each job in the
// order it needs its results. Each thread has its own index, for state it keeps between jobs; after a job
// is handed back, the thread may go on with work that no job waits for (after). The threads block SIGINT
// and SIGTERM, so the signals reach the thread that waits.
template <class Job>
class WorkQueue {
  public:
    using Run = std::function<void(Job& job, std::size_t thread)>;
    using After = std::function<void(std::size_t thread)>;

    WorkQueue(std::size_t threads, Run run, After after = {})
        : run_(std::move(run)), after_(std::move(after)) {
        sigset_t blocked;
        sigset_t previous;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigaddset(&blocked, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &blocked, &previous);
        for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this, i] { Serve(i); });
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    // Jobs not yet started are dropped; those running are finished.
    ~WorkQueue() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            waiting_.clear();
        }
        work_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // The job stays the caller's; it must live until Wait returned for it or the queue is gone.
    void Submit(Job& job) {
        {
            std::lock_guard lock(mutex_);
            job.done = false;
            waiting_.push_back(&job);
        }
        work_.notify_one();
    }

    void Wait(Job& job) {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return job.done; });
    }

  private:
    void Serve(std::size_t index) {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) return;
            Job* job = waiting_.front();
            waiting_.pop_front();
            lock.unlock();
            run_(*job, index);
            lock.lock();
            job->done = true;
            finished_.notify_all();
            if (after_) {
                lock.unlock();
                after_(index);
                lock.lock();
            }
        }
    }

    Run run_;
    After after_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable finished_;
    std::deque<Job*> waiting_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace zov::rar
