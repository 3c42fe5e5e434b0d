#include "service/ServiceThreads.h"

#include <chrono>
#include <list>
#include <thread>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/logs/LogCleanup.h"
#include "platform/Clock.h"
#include "platform/ProcessRunner.h"
#include "service/ExpiredBackups.h"
#include "service/InterruptedRuns.h"
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
    std::vector<std::jthread> otherThreads;  // scheduler, expired-backup, log clean-up
};

ServiceThreads::ServiceThreads() : parts_(std::make_unique<Parts>()) {}
ServiceThreads::~ServiceThreads() = default;
ServiceThreads::ServiceThreads(ServiceThreads&&) noexcept = default;
ServiceThreads& ServiceThreads::operator=(ServiceThreads&&) noexcept = default;

void ServiceThreads::StopForExit() {
    for (std::jthread& thread : parts_->workerThreads) thread.request_stop();
    for (std::jthread& thread : parts_->otherThreads) thread.request_stop();
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
    parts.otherThreads.push_back(StartLogCleanupThread());
    return started;
}

}  // namespace zov
