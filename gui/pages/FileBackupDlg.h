#pragma once

#include "gui/pages/TaskPage.h"

namespace zov::gui {

class CFileBackupListDlg;

// The file page of the main window: the task list and the file log view under two tabs, the task editor
// and the runs at once of file tasks. At its start it tells of the runs at once that the program's last run
// left unfinished or failed (temp.ini [TEMPTASKS]).
class CFileBackupDlg : public TaskPage {
    Q_OBJECT

  public:
    explicit CFileBackupDlg(QWidget* parent);

    CFileBackupListDlg* listPage() const { return list_; }

    // The start-up check of [TEMPTASKS]: with more than one key and a first key other than "DAY", the box
    // "未处理的任务" names the tasks left "RUNNING" and those left "FAILED", and the section is deleted.
    static void ReportUnfinishedRuns(QWidget* owner);

  private:
    CFileBackupListDlg* list_;
};

}  // namespace zov::gui
