#pragma once

#include <QWidget>

namespace zov::gui {

class CBackupLogDlg;
class CFileBackupListDlg;
class CFileBackupSetupDlg;
class PageTabs;
class RunNow;

// The file page of the main window: the task list and the file log view under two tabs, the task editor
// and the runs at once of file tasks. At its start it tells of the runs at once that the program's last run
// left unfinished or failed (temp.ini [TEMPTASKS]).
class CFileBackupDlg : public QWidget {
    Q_OBJECT

  public:
    explicit CFileBackupDlg(QWidget* parent);

    CFileBackupListDlg* listPage() const { return list_; }
    CBackupLogDlg* logPage() const { return log_; }
    CFileBackupSetupDlg* editor() const { return editor_; }
    RunNow* runNow() const { return runNow_; }
    PageTabs* tabs() const { return tabs_; }

    // The start-up check of [TEMPTASKS]: with more than one key and a first key other than "DAY", the box
    // "未处理的任务" names the tasks left "RUNNING" and those left "FAILED", and the section is deleted.
    static void ReportUnfinishedRuns(QWidget* owner);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CFileBackupSetupDlg* editor_;
    CFileBackupListDlg* list_;
    CBackupLogDlg* log_;
    RunNow* runNow_;
    PageTabs* tabs_;
};

}  // namespace zov::gui
