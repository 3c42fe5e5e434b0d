#include "gui/restore/RestoreThreads.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "gui/shell/WindowAsker.h"

namespace zov::gui {
namespace {

// How long one wait of StopAll lasts between two rounds of the window thread's calls.
constexpr std::chrono::milliseconds kServeStep{20};

// A restore shows no status lines.
class NoStatus final : public StatusSink {
  public:
    void Status(const std::string&) override {}
    void EndStatus() override {}
};

}  // namespace

struct RestoreThreads::Shared {
    std::mutex mutex;
    std::condition_variable ended;
    QObject* owner = nullptr;  // null once the owner is gone
    std::map<int, std::stop_source> running;
    int next = 0;
};

RestoreThreads::RestoreThreads(QObject* owner) : shared_(std::make_shared<Shared>()) {
    shared_->owner = owner;
}

RestoreThreads::~RestoreThreads() {
    StopAll(kEndBound, false);
    std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
}

bool RestoreThreads::Start(Job job, Done done) {
    std::stop_source stop;
    int id;
    {
        std::lock_guard lock(shared_->mutex);
        id = shared_->next++;
        shared_->running.emplace(id, stop);
    }
    try {
        std::thread([shared = shared_, id, token = stop.get_token(), job = std::move(job),
                     done = std::move(done)] {
            NoStatus status;
            WindowAsker asker(token);
            const RestoreBox box = job(JobContext{status, asker, token});
            std::lock_guard lock(shared->mutex);
            // Posted under the lock: the owner cannot go meanwhile, and a call it has not served when it
            // goes is dropped with it.
            if (shared->owner != nullptr)
                QMetaObject::invokeMethod(
                    shared->owner, [done, box] { done(box); }, Qt::QueuedConnection);
            shared->running.erase(id);
            shared->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(shared_->mutex);
        shared_->running.erase(id);
        return false;
    }
    return true;
}

int RestoreThreads::Running() const {
    std::lock_guard lock(shared_->mutex);
    return static_cast<int>(shared_->running.size());
}

bool RestoreThreads::StopAll(std::chrono::milliseconds bound, bool serveCalls) {
    std::unique_lock lock(shared_->mutex);
    for (auto& [id, stop] : shared_->running) stop.request_stop();
    const auto deadline = std::chrono::steady_clock::now() + bound;
    const auto none = [this] { return shared_->running.empty(); };
    if (!serveCalls) return shared_->ended.wait_until(lock, deadline, none);
    while (!none() && std::chrono::steady_clock::now() < deadline) {
        lock.unlock();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        lock.lock();
        shared_->ended.wait_for(lock, kServeStep, none);
    }
    return none();
}

}  // namespace zov::gui
