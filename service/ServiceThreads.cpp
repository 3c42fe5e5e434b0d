#include "service/ServiceThreads.h"

#include <chrono>
#include <list>
#include <thread>
#include <vector>

#include "engine/Backup.h"
#include "engine/LogCleanup.h"
#include "platform/Clock.h"
#include "service/ExpiredBackups.h"
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
    std::vector<std::jthread> threads;  // declared last: stopped and joined before the parts they use go
};

ServiceThreads::ServiceThreads() : parts_(std::make_unique<Parts>()) {}
ServiceThreads::~ServiceThreads() = default;
ServiceThreads::ServiceThreads(ServiceThreads&&) noexcept = default;
ServiceThreads& ServiceThreads::operator=(ServiceThreads&&) noexcept = default;

ServiceThreads StartServiceThreads() {
    ServiceThreads started;
    ServiceThreads::Parts& parts = *started.parts_;
    for (int index = 0; index < kWorkerCount; ++index) {
        Worker& worker = parts.workers.emplace_back(parts.queue, BackupTaskRun(parts.backup));
        parts.threads.emplace_back([&worker](std::stop_token stop) { worker.Run(stop); });
        if (index + 1 < kWorkerCount) SleepFor(kWorkerSpacing);
    }
    parts.threads.emplace_back([&parts](std::stop_token stop) { parts.scheduler.Run(stop); });
    parts.threads.emplace_back([&parts](std::stop_token stop) { parts.expiry.Run(stop); });
    parts.threads.push_back(StartLogCleanupThread());
    return started;
}

}  // namespace zov
