#include "service/ServiceThreads.h"

#include <chrono>
#include <list>
#include <thread>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/files/CacheFolder.h"
#include "platform/Clock.h"
#include "platform/ProcessRunner.h"
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

}  // namespace

struct ServiceThreads::Parts {
    RunQueue queue;
    CBackup backup;
    std::list<Worker> workers;
    Scheduler scheduler{queue};
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
    parts_->backup.RequestStop();
    // First, so that a pass still in progress does not hold the archiver. A program that a worker starts
    // after this gets SIGTERM when the process ends.
    TerminateRunningProcesses();
    for (std::jthread& thread : parts_->otherThreads) thread.join();
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
        parts.workerThreads.emplace_back([&worker](std::stop_token stop) { worker.Run(stop); });
        if (index + 1 < kWorkerCount) SleepFor(kWorkerSpacing);
    }
    parts.otherThreads.emplace_back([&parts](std::stop_token stop) { parts.scheduler.Run(stop); });
    parts.otherThreads.emplace_back([&parts](std::stop_token stop) { parts.expiry.Run(stop); });
    parts.otherThreads.emplace_back([](std::stop_token stop) { RunLogCleanup(stop); });
    return started;
}

}  // namespace zov
