#pragma once

#include "gui/restore/DatabaseRestoreDialog.h"
#include "gui/restore/RestoreRequests.h"

namespace zov::gui {

// "SQL Server 数据库还原": a backup of a SQL Server task back into its database on the task's instance,
// after every session of that database has been ended. The dialog closes after the confirmation, with the
// request posted for OK and none for Cancel.
class CMSSqlRestore : public CDatabaseRestoreDlg {
    Q_OBJECT

  public:
    explicit CMSSqlRestore(int taskId, QWidget* parent = nullptr);

  private:
    SqlRestoreRequest Request() const;
    bool IsRestoring(const RestoreEngine& engine) const override;
    void ConfirmRestore(RestoreEngine& engine, const QString& timeText) override;
};

}  // namespace zov::gui
