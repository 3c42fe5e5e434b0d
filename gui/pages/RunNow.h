#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <thread>

#include "engine/tasks/TaskInfo.h"
#include "gui/shell/Prompter.h"

namespace zov::gui {

// What a page's run-now says: the caption of the main window while a task runs ("%1": the task name), the
// boxes of a run that succeeded ("%1": the name) and failed ("%1": the name, "%2": why) with their
// captions; the box (caption "错误") of a task of another kind and of a task id the store does not hold
// ("%1": the id), each left out when its text is empty.
struct RunNowTexts {
    QString runningCaption;
    QString succeeded;
    QString successCaption;
    QString failed;
    QString failureCaption;
    QString wrongKind;
    QString missing;
};

// Runs tasks at once inside the management program, as the service's workers run them: each run on a
// thread of its own with its own copy of the task (read from the program's task store under its lock) and
// its own failure text, never twice at once, started and ended in temp.ini by HandRun (the "RUNNING" check
// and mark in one locked step shared with the service), its status lines to the "StateLog" slot, its
// questions to the user (WindowAsker), its result in a box on the window thread. The destructor stops every
// run and waits for it; a run cut short that way is recorded as interrupted and its partial output removed.
class RunNow : public QObject {
    Q_OBJECT

  public:
    using Kind = std::function<bool(const TaskInfo& task)>;

    // runs: the tasks of the page's kind (others fail as not found). page owns the boxes; its window's
    // caption shows the running task.
    RunNow(Kind runs, RunNowTexts texts, QWidget* page);
    ~RunNow() override;

    // Starts the run of the stored task id; returns at once.
    void Start(int taskId);
    // Runs that have not ended yet.
    int Running() const;

  signals:
    // The run of the task ended (its box is shown).
    void runEnded(int taskId);

  private:
    // How a run of a task of the page's kind ended; a refused one has said why in a box of its own.
    enum class RunEnd { Succeeded, Failed, Refused };

    struct Run {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
    };

    // The body of one run on its thread; window is the page's window.
    void Execute(int taskId, const QPointer<QWidget>& window, const std::stop_token& stop);
    // The stored task's run, between the main window's caption naming it and the normal caption.
    void RunFound(const TaskInfo& task, const QPointer<QWidget>& window, const std::stop_token& stop);
    // The run of a task of the page's kind, unless this program runs it now.
    RunEnd RunOnce(const TaskInfo& task, const std::stop_token& stop, std::string& message);
    // The run between its start and its end in temp.ini.
    RunEnd RunMarked(const TaskInfo& task, const std::stop_token& stop, std::string& message);
    // The refusal of a task that runs now: its box.
    RunEnd Refuse();
    // Queues a box over the page's window on the window thread.
    void ShowOnWindowThread(const QString& text, const QString& caption, Prompter::Icon icon);

    Kind runs_;
    RunNowTexts texts_;
    QPointer<QWidget> page_;
    std::list<Run> active_;
    // The tasks this program runs now: one of them is not started again even when its temp.ini mark was
    // cleared meanwhile.
    std::mutex mutex_;
    std::set<int> running_;
};

}  // namespace zov::gui
