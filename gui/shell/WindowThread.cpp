#include "gui/shell/WindowThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace zov::gui {

namespace {

// One worker's question at a time; a worker whose stop is requested stops waiting for its turn.
class Turn {
  public:
    bool Take(const std::stop_token& stop) {
        std::unique_lock lock(mutex_);
        if (!free_.wait(lock, stop, [this] { return !busy_; })) return false;
        busy_ = true;
        return true;
    }
    void Give() {
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        free_.notify_one();
    }

  private:
    std::mutex mutex_;
    std::condition_variable_any free_;
    bool busy_ = false;
};

// One queued question, shared by the worker and the window thread's call.
struct Call {
    enum class Phase { Waiting, Running, Ended, Abandoned };
    std::mutex mutex;
    std::condition_variable_any changed;
    Phase phase = Phase::Waiting;
    bool ran = false;
};

// Held by the queued call only: its end, run or dropped unrun, ends the call.
struct CallEnd {
    explicit CallEnd(std::shared_ptr<Call> ended) : call(std::move(ended)) {}
    CallEnd(const CallEnd&) = delete;
    CallEnd& operator=(const CallEnd&) = delete;
    std::shared_ptr<Call> call;
    ~CallEnd() {
        {
            std::lock_guard lock(call->mutex);
            if (call->phase != Call::Phase::Abandoned) call->phase = Call::Phase::Ended;
        }
        call->changed.notify_all();
    }
};

}  // namespace

bool AskOnWindowThread(const std::function<void()>& question, std::stop_token stop) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return false;
    if (QThread::currentThread() == application->thread()) {
        question();
        return true;
    }
    static Turn turn;
    if (!turn.Take(stop)) return false;
    const auto call = std::make_shared<Call>();
    QMetaObject::invokeMethod(
        application,
        [call, end = std::make_shared<CallEnd>(call), &question] {
            {
                std::lock_guard lock(call->mutex);
                if (call->phase == Call::Phase::Abandoned) return;
                call->phase = Call::Phase::Running;
            }
            question();
            std::lock_guard lock(call->mutex);
            call->ran = true;
        },
        Qt::QueuedConnection);
    std::unique_lock lock(call->mutex);
    call->changed.wait(lock, stop, [&] { return call->phase == Call::Phase::Ended; });
    if (call->phase == Call::Phase::Waiting) {
        call->phase = Call::Phase::Abandoned;
    } else {
        // Begun: the question is the window thread's until it ends.
        call->changed.wait(lock, [&] { return call->phase == Call::Phase::Ended; });
    }
    const bool ran = call->ran;
    lock.unlock();
    turn.Give();
    return ran;
}

}  // namespace zov::gui
