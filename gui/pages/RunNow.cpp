#include "gui/pages/RunNow.h"

#include <QMetaObject>

#include "engine/archive/ZipOperatorLookup.h"
#include "engine/backup/Backup.h"
#include "engine/logs/StateLog.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/RunStart.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/TaskStore.h"
#include "gui/shell/WindowAsker.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

constexpr const char* kAlreadyRunning = "该任务正在运行，需执行结束后才能再次运行。";

}  // namespace

RunNow::RunNow(Kind runs, RunNowTexts texts, QWidget* page)
    : QObject(page), runs_(std::move(runs)), texts_(std::move(texts)), page_(page) {}

RunNow::~RunNow() {
    for (Run& run : active_) run.thread.request_stop();
    active_.clear();
}

void RunNow::Start(int taskId) {
    active_.remove_if([](const Run& run) { return run.ended->load(); });
    Run& run = active_.emplace_back();
    QPointer<QWidget> window = page_ ? page_->window() : nullptr;
    run.thread = std::jthread([this, taskId, window, ended = run.ended](std::stop_token stop) {
        Execute(taskId, window, stop);
        *ended = true;
    });
}

int RunNow::Running() const {
    int running = 0;
    for (const Run& run : active_) running += run.ended->load() ? 0 : 1;
    return running;
}

void RunNow::Execute(int taskId, const QPointer<QWidget>& window, const std::stop_token& stop) {
    TaskInfo task;
    const bool found = TaskStore().GetTaskById(taskId, task);
    SetMainCaption(window.data(), texts_.runningCaption.arg(Q(task.name)));
    std::string message;
    const bool ofKind = found && runs_(task);
    if (found && !ofKind) message = texts_.wrongKind.toStdString();
    const bool succeeded = ofKind && RunOnce(task, stop, message);
    SetMainCaption(window.data(), "");
    if (succeeded) {
        ShowOnWindowThread(texts_.succeeded.arg(Q(task.name)), texts_.successCaption,
                           Prompter::Icon::Information);
    } else {
        ShowOnWindowThread(texts_.failed.arg(Q(task.name), Q(message)), texts_.failureCaption,
                           Prompter::Icon::Error);
    }
    QMetaObject::invokeMethod(
        this, [this, taskId] { emit runEnded(taskId); }, Qt::QueuedConnection);
}

bool RunNow::RunOnce(const TaskInfo& task, const std::stop_token& stop, std::string& message) {
    {
        std::lock_guard lock(mutex_);
        if (!running_.insert(task.id).second) return Refuse(message);
    }
    const bool succeeded = RunMarked(task, stop, message);
    std::lock_guard lock(mutex_);
    running_.erase(task.id);
    return succeeded;
}

bool RunNow::RunMarked(const TaskInfo& task, const std::stop_token& stop, std::string& message) {
    HandRun hand(task, Now());
    if (hand.state() == RunStart::NotWritten) {
        message = "无法在 " + TempIniPath() + " 中记录运行状态";
        return false;
    }
    if (hand.state() != RunStart::Started) return Refuse(message);
    StateLogSink status(ProgramDir());
    WindowAsker asker(stop);
    CBackup backup;
    const bool succeeded = backup.RunTask(task, GetRarPath(), message, JobContext{status, asker, stop}) != 0;
    // A run that the window's end cut short left its output and its start for the record.
    if (!succeeded && stop.stop_requested()) backup.RecordInterruptedRun(task, RecordedRunStart(task.id));
    hand.Finish(succeeded);
    return succeeded;
}

bool RunNow::Refuse(std::string& message) {
    message = kAlreadyRunning;
    ShowOnWindowThread(kAlreadyRunning, "错误", Prompter::Icon::Warning);
    return false;
}

void RunNow::ShowOnWindowThread(const QString& text, const QString& caption, Prompter::Icon icon) {
    QMetaObject::invokeMethod(
        this,
        [this, text, caption, icon] { ShowBox(page_ ? page_->window() : nullptr, text, caption, icon); },
        Qt::QueuedConnection);
}

}  // namespace zov::gui
