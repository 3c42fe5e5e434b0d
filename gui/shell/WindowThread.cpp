#include "gui/shell/WindowThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <mutex>

namespace zov::gui {

bool AskOnWindowThread(const std::function<void()>& question) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return false;
    if (QThread::currentThread() == application->thread()) {
        question();
        return true;
    }
    // The window thread never takes this lock.
    static std::mutex oneAtATime;
    std::lock_guard lock(oneAtATime);
    bool ran = false;
    // Dropped unrun when the window thread ends first: the blocking call then returns.
    QMetaObject::invokeMethod(
        application,
        [&] {
            question();
            ran = true;
        },
        Qt::BlockingQueuedConnection);
    return ran;
}

}  // namespace zov::gui
