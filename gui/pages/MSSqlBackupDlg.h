#pragma once

#include "gui/pages/TaskPage.h"

namespace zov::gui {

class CMSSqlBackupListDlg;

// The SQL Server page of the main window: the task list and the SQL Server log view under two tabs, the
// task editor and the runs at once of SQL Server tasks.
class CMSSqlBackupDlg : public TaskPage {
    Q_OBJECT

  public:
    explicit CMSSqlBackupDlg(QWidget* parent);

    CMSSqlBackupListDlg* listPage() const { return list_; }

  private:
    CMSSqlBackupListDlg* list_;
};

}  // namespace zov::gui
