#pragma once

#include "gui/pages/TaskPage.h"

namespace zov::gui {

class CMysqlBackupListDlg;

// The MySQL page of the main window: the task list and the MySQL log view under two tabs, the task editor
// and the runs at once of MySQL tasks. Without a MySQL server on this computer when it is made, the page
// stays hidden for good.
class CMysqlBackupDlg : public TaskPage {
    Q_OBJECT

  public:
    explicit CMysqlBackupDlg(QWidget* parent);

    CMysqlBackupListDlg* listPage() const { return list_; }
    // Whether a MySQL server was found when the page was made.
    bool serverFound() const { return serverFound_; }

  private:
    CMysqlBackupListDlg* list_;
    bool serverFound_;
};

}  // namespace zov::gui
