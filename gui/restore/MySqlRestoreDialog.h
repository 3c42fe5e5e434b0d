#pragma once

#include "gui/restore/DatabaseRestoreDialog.h"
#include "gui/restore/RestoreRequests.h"

namespace zov::gui {

// "MySQL 数据库还原": a backup of a MySQL task back into its database on the local server, once the server
// took the task's root password (TestLogin). The dialog stays open when the confirmation is cancelled;
// when the login fails, the user may still go on.
class CMysqlRestoreDlg : public CDatabaseRestoreDlg {
    Q_OBJECT

  public:
    explicit CMysqlRestoreDlg(int taskId, QWidget* parent = nullptr);

  private:
    MySqlRestoreRequest Request() const;
    void Post(RestoreEngine& engine) const;
    bool IsRestoring(const RestoreEngine& engine) const override;
    void ConfirmRestore(RestoreEngine& engine, const QString& timeText) override;
};

}  // namespace zov::gui
