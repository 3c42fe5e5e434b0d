#include "gui/restore/SqlServerRestoreDialog.h"

#include "engine/mssql/SqlServerNames.h"
#include "engine/util/CommonText.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/UserCache.h"

namespace zov::gui {
namespace {

// A backup's file name holds no '/' nor control character: the task's database it was made of.
std::string DatabaseOfTitle(const std::string& title, const TaskInfo& task) {
    std::vector<std::string> databases;
    SplitToArray(databases, task.database, "|");
    return DatabaseOfFileName(title, databases);
}

const CDatabaseRestoreDlg::Kind kSqlServerKind{
    "SQL Server 数据库还原",
    184,
    kSqlServer,
    "SQL Server",
    &TaskInfo::instance,
    "实例名为空",
    &DatabaseOfTitle,
    "该还原操作将中断对数据库[%1]的一切连接请求。",
    "SQL Server还原提示",
    "SQL Servre的备份文件查找错误：",
    "1260",
    "1263",
    "1095",
    "1262",
    "32831",
    "32832",
};

}  // namespace

CMSSqlRestore::CMSSqlRestore(int taskId, QWidget* parent)
    : CDatabaseRestoreDlg(taskId, kSqlServerKind, parent) {}

SqlRestoreRequest CMSSqlRestore::Request() const {
    return {task().id, task().instance, database(), backupFile(), task().password};
}

bool CMSSqlRestore::IsRestoring(const RestoreEngine& engine) const { return engine.IsRestoring(Request()); }

void CMSSqlRestore::ConfirmRestore(RestoreEngine& engine, const QString& timeText) {
    if (AskToRestore(timeText)) {
        UsageCounters().Add(Counter::RestoreMssql);
        RestoreEngine* target = &engine;
        QMetaObject::invokeMethod(
            target, [target, request = Request()] { target->RestoreSqlServer(request); },
            Qt::QueuedConnection);
    }
    accept();
}

}  // namespace zov::gui
