#pragma once

#include "gui/pages/TaskPage.h"

namespace zov::gui {

class CMysqlBackupListDlg;
class CMysqlBackupSetupDlg;

// The MySQL page of the main window: the task list and the MySQL log view under two tabs, the task editor
// and the runs at once of MySQL tasks. Without a MySQL server on this computer when it is made, the page
// stays hidden for good.
class CMysqlBackupDlg : public TaskPage {
    Q_OBJECT

  public:
    explicit CMysqlBackupDlg(QWidget* parent);

    CMysqlBackupListDlg* listPage() const { return list_; }
    CMysqlBackupSetupDlg* editor() const { return editor_; }
    // Whether a MySQL server was found when the page was made.
    bool serverFound() const { return serverFound_; }

  private:
    CMysqlBackupSetupDlg* editor_;
    CMysqlBackupListDlg* list_;
    bool serverFound_;
};

}  // namespace zov::gui
