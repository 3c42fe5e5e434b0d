#pragma once

#include <QString>
#include <QWidget>

#include "gui/pages/BackupLogDlg.h"
#include "gui/pages/RunNow.h"

namespace zov::gui {

class PageTabs;
class TaskListPage;

// What makes a task page the page of its kind: its tabs, log view and runs at once.
struct TaskPageLook {
    const char* listTabId;
    QString listTab;
    const char* logTabId;
    const char* logId;
    LogViewConfig log;
    RunNow::Kind runs;
    RunNowTexts texts;
};

// A task page of the main window: the task list and the log view of one kind under two tabs, and the runs
// at once of its tasks, which the list asks for.
class TaskPage : public QWidget {
    Q_OBJECT

  public:
    CBackupLogDlg* logPage() const { return log_; }
    RunNow* runNow() const { return runNow_; }
    PageTabs* tabs() const { return tabs_; }

  protected:
    TaskPage(const char* id, QWidget* parent);
    // Puts the list and the look's log view under the tabs; the list's runs go to the page's RunNow.
    void Assemble(TaskListPage* list, const TaskPageLook& look);
    void paintEvent(QPaintEvent* event) override;

  private:
    CBackupLogDlg* log_ = nullptr;
    RunNow* runNow_ = nullptr;
    PageTabs* tabs_ = nullptr;
};

}  // namespace zov::gui
