#include "service/ServiceThreads.h"

#include <chrono>
#include <list>
#include <semaphore>
#include <thread>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/files/CacheFolder.h"
#include "platform/Clock.h"
#include "service/ExpiredBackups.h"
#include "service/InterruptedRuns.h"
#include "service/LogCleanupThread.h"
#include "service/ProcessStart.h"
#include "service/RunQueue.h"
#include "service/Scheduler.h"
#include "service/Worker.h"

namespace zov {
namespace {

constexpr int kWorkerCount = 6;
constexpr std::chrono::milliseconds kWorkerSpacing{500};
// How long the stop waits for the workers: longer than an archiver that ignores SIGTERM takes to be
// killed (ProcessOptions::killGrace).
constexpr std::chrono::milliseconds kWorkerEndBound{3000};

}  // namespace

struct ServiceThreads::Parts {
    RunQueue queue;
    CBackup backup;
    std::list<Worker> workers;
    std::counting_semaphore<kWorkerCount> workersEnded{0};  // released by each worker thread as it ends
    Scheduler scheduler{queue, ServiceTaskStore()};
    ExpiredBackups expiry{ServiceTaskStore()};
    // Declared after the parts they use, so that they are stopped and joined before those go.
    std::vector<std::jthread> workerThreads;
    std::vector<std::jthread> otherThreads;  // cache clean-up, scheduler, expired-backup, log clean-up
};

ServiceThreads::ServiceThreads() : parts_(std::make_unique<Parts>()) {}
ServiceThreads::~ServiceThreads() = default;
ServiceThreads::ServiceThreads(ServiceThreads&&) noexcept = default;
ServiceThreads& ServiceThreads::operator=(ServiceThreads&&) noexcept = default;

void ServiceThreads::StopForExit() {
    for (std::jthread& thread : parts_->workerThreads) thread.request_stop();
    for (std::jthread& thread : parts_->otherThreads) thread.request_stop();
    // A worker's stop ends the archiver of its run and its copy between two files.
    const auto deadline = std::chrono::steady_clock::now() + kWorkerEndBound;
    int ended = 0;
    while (ended < kWorkerCount && parts_->workersEnded.try_acquire_until(deadline)) ++ended;
    for (std::jthread& thread : parts_->otherThreads) thread.join();
    if (ended == kWorkerCount) {
        for (std::jthread& thread : parts_->workerThreads) thread.join();
        return;
    }
    for (std::jthread& thread : parts_->workerThreads) thread.detach();
    // The detached workers go on using the parts until the process ends: never freed.
    static_cast<void>(parts_.release());
}

ServiceThreads StartServiceThreads() {
    ServiceThreads started;
    ServiceThreads::Parts& parts = *started.parts_;
    // Listed before any worker starts, so that no job's temporary folder is among the leftovers.
    parts.otherThreads.emplace_back(
        [leftovers = CacheLeftovers()](std::stop_token stop) { DeleteCacheLeftovers(leftovers, stop); });
    // Before any worker or scheduler pass, so that a time cut short by the last stop is not run again.
    RecoverInterruptedRuns([&parts](const TaskInfo& task, std::time_t runTime) {
        parts.backup.RecordInterruptedRun(task, runTime);
    });
    for (int index = 0; index < kWorkerCount; ++index) {
        Worker& worker = parts.workers.emplace_back(parts.queue, BackupTaskRun(parts.backup));
        parts.workerThreads.emplace_back([&worker, &parts](std::stop_token stop) {
            worker.Run(stop);
            parts.workersEnded.release();
        });
        if (index + 1 < kWorkerCount) SleepFor(kWorkerSpacing);
    }
    parts.otherThreads.emplace_back([&parts](std::stop_token stop) { parts.scheduler.Run(stop); });
    parts.otherThreads.emplace_back([&parts](std::stop_token stop) { parts.expiry.Run(stop); });
    parts.otherThreads.emplace_back([](std::stop_token stop) { RunLogCleanup(stop); });
    return started;
}

}  // namespace zov
