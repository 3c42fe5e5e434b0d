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
    if (TaskStore().GetTaskById(taskId, task)) {
        RunFound(task, window, stop);
    } else if (!texts_.missing.isEmpty()) {
        ShowOnWindowThread(texts_.missing.arg(taskId), "错误", Prompter::Icon::Error);
    }
    QMetaObject::invokeMethod(
        this, [this, taskId] { emit runEnded(taskId); }, Qt::QueuedConnection);
}

void RunNow::RunFound(const TaskInfo& task, const QPointer<QWidget>& window, const std::stop_token& stop) {
    SetMainCaption(window.data(), texts_.runningCaption.arg(Q(task.name)));
    if (!runs_(task)) {
        if (!texts_.wrongKind.isEmpty()) ShowOnWindowThread(texts_.wrongKind, "错误", Prompter::Icon::Error);
        SetMainCaption(window.data(), "");
        return;
    }
    std::string message;
    const RunEnd end = RunOnce(task, stop, message);
    SetMainCaption(window.data(), "");
    if (end == RunEnd::Succeeded) {
        ShowOnWindowThread(texts_.succeeded.arg(Q(task.name)), texts_.successCaption,
                           Prompter::Icon::Information);
    } else if (end == RunEnd::Failed) {
        ShowOnWindowThread(texts_.failed.arg(Q(task.name), Q(message)), texts_.failureCaption,
                           Prompter::Icon::Error);
    }
}

RunNow::RunEnd RunNow::RunOnce(const TaskInfo& task, const std::stop_token& stop, std::string& message) {
    {
        std::lock_guard lock(mutex_);
        if (!running_.insert(task.id).second) return Refuse();
    }
    const RunEnd end = RunMarked(task, stop, message);
    std::lock_guard lock(mutex_);
    running_.erase(task.id);
    return end;
}

RunNow::RunEnd RunNow::RunMarked(const TaskInfo& task, const std::stop_token& stop, std::string& message) {
    HandRun hand(task, Now());
    if (hand.state() == RunStart::NotWritten) {
        message = "无法在 " + TempIniPath() + " 中记录运行状态";
        return RunEnd::Failed;
    }
    if (hand.state() != RunStart::Started) return Refuse();
    StateLogSink status(ProgramDir());
    WindowAsker asker(stop);
    CBackup backup;
    const bool succeeded = backup.RunTask(task, GetRarPath(), message, JobContext{status, asker, stop}) != 0;
    // A run that the window's end cut short left its output and its start for the record.
    if (!succeeded && stop.stop_requested()) backup.RecordInterruptedRun(task, RecordedRunStart(task.id));
    hand.Finish(succeeded);
    return succeeded ? RunEnd::Succeeded : RunEnd::Failed;
}

RunNow::RunEnd RunNow::Refuse() {
    ShowOnWindowThread(kAlreadyRunning, "错误", Prompter::Icon::Warning);
    return RunEnd::Refused;
}

void RunNow::ShowOnWindowThread(const QString& text, const QString& caption, Prompter::Icon icon) {
    QMetaObject::invokeMethod(
        this,
        [this, text, caption, icon] { ShowBox(page_ ? page_->window() : nullptr, text, caption, icon); },
        Qt::QueuedConnection);
}

}  // namespace zov::gui
