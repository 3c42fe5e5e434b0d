#include "gui/restore/MySqlRestoreDialog.h"

#include <QApplication>

#include "engine/mysql/MySqlDatabases.h"
#include "gui/restore/MySqlLogin.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/UserCache.h"

namespace zov::gui {
namespace {

std::string DatabaseOfTitle(const std::string& title, const TaskInfo&) {
    return MySqlDatabaseOfDumpTitle(title);
}

const CDatabaseRestoreDlg::Kind kMySqlKind{
    "MySQL 数据库还原",
    185,
    kMySql,
    "MySQL",
    &TaskInfo::serviceName,
    "服务名为空",
    &DatabaseOfTitle,
    "该操作不会对当前数据库进行备份，如果需要备份请先自行处理。\n\n立即还原吗？",
    "MySQL还原提示",
    "MySQL备份文件查找错误：",
    "1320",
    "1417",
    "1324",
    "1325",
    "32827",
    "32828",
};

}  // namespace

CMysqlRestoreDlg::CMysqlRestoreDlg(int taskId, QWidget* parent)
    : CDatabaseRestoreDlg(taskId, kMySqlKind, parent) {}

MySqlRestoreRequest CMysqlRestoreDlg::Request() const {
    return {task().id, task().serviceName, database(), backupFile(), task().password, task().rootPassword};
}

void CMysqlRestoreDlg::Post(RestoreEngine& engine) const {
    RestoreEngine* target = &engine;
    QMetaObject::invokeMethod(
        target, [target, request = Request()] { target->RestoreMySql(request); }, Qt::QueuedConnection);
}

bool CMysqlRestoreDlg::IsRestoring(const RestoreEngine& engine) const {
    return engine.IsRestoring(Request());
}

void CMysqlRestoreDlg::ConfirmRestore(RestoreEngine& engine, const QString& timeText) {
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool loggedIn = TestLogin(task().serviceName, task().rootPassword, error);
    QApplication::restoreOverrideCursor();
    if (loggedIn) {
        if (!AskToRestore(timeText)) return;
        UsageCounters().Add(Counter::RestoreMysql);
        Post(engine);
        accept();
        return;
    }
    const QString text = "数据库连接失败，将无法还原，请检查。\n\n错误信息：" +
                         QString::fromStdString(error) + "\n\n继续请点击 【是】";
    if (ShowBox(this, text, "提示", Prompter::Icon::Warning, Prompter::Buttons::YesNo,
                Prompter::Answer::Yes) == Prompter::Answer::Yes) {
        Post(engine);
        accept();
    }
}

}  // namespace zov::gui
