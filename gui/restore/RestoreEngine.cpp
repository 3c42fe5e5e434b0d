#include "gui/restore/RestoreEngine.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "engine/archive/ZipOperatorLookup.h"
#include "engine/mssql/SqlServerConnection.h"
#include "gui/restore/FileRestoreRun.h"
#include "gui/restore/MySqlRestoreJob.h"
#include "gui/restore/SqlServerRestoreJob.h"
#include "gui/shell/TaskStore.h"
#include "platform/Text.h"

namespace zov::gui {
namespace {

std::string DatabaseKey(const SqlRestoreRequest& request) {
    const std::string instance = request.instance.empty() ? kDefaultSqlServerInstance : request.instance;
    return "SQL Server\n" + LowerAscii(instance) + "\n" + LowerAscii(request.database);
}

std::string DatabaseKey(const MySqlRestoreRequest& request) {
    return "MySQL\n" + LowerAscii(request.database);
}

}  // namespace

RestoreEngine::RestoreEngine(QWidget* window) : QObject(window), window_(window), threads_(this) {}

RestoreEngine* RestoreEngine::OfMainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* engine = window->findChild<RestoreEngine*>(QString(), Qt::FindDirectChildrenOnly))
            return engine;
    }
    return nullptr;
}

bool RestoreEngine::IsRestoring(const SqlRestoreRequest& request) const {
    return restoring_.contains(DatabaseKey(request));
}

bool RestoreEngine::IsRestoring(const MySqlRestoreRequest& request) const {
    return restoring_.contains(DatabaseKey(request));
}

std::string RestoreEngine::RestoringText(const std::string& database) {
    return "数据库[" + database + "]正在还原，请在本次还原结束后再试";
}

TaskInfo RestoreEngine::StoredTask(int taskId) {
    TaskInfo task;
    if (!TaskStore().GetTaskById(taskId, task)) {
        task = TaskInfo{};
        task.id = taskId;
    }
    return task;
}

void RestoreEngine::Run(const std::string& database,
                        std::function<RestoreBox(const std::string&, const JobContext&)> job) {
    const QPointer<QWidget> boxOwner(window_);
    if (!database.empty()) restoring_.insert(database);
    const bool started = threads_.Start([job = std::move(job), rarPath = GetRarPath()](
                                            const JobContext& context) { return job(rarPath, context); },
                                        [this, boxOwner, database](const RestoreBox& box) {
                                            restoring_.erase(database);
                                            ShowRestoreBox(boxOwner.data(), box);
                                        });
    if (!started) {
        restoring_.erase(database);
        ShowRestoreBox(window_, FileRestoreBox(false, "无法启动还原线程"));
    }
}

void RestoreEngine::RestoreFiles(FileRestoreRequest request) {
    Run("", [task = StoredTask(request.taskId), request = std::move(request)](const std::string& rarPath,
                                                                              const JobContext& job) {
        return RunFileRestore(request, task, rarPath, job);
    });
}

void RestoreEngine::RestoreFileBatch(int taskId, RestoreBatch batch) {
    Run("", [batch = std::move(batch), task = StoredTask(taskId)](const std::string& rarPath,
                                                                  const JobContext& job) {
        return RunBatchRestore(batch, task, rarPath, job);
    });
}

void RestoreEngine::RestoreSqlServer(SqlRestoreRequest request) {
    if (IsRestoring(request)) {
        ShowRestoreBox(window_,
                       {false, "SQL Server数据库还原失败:" + RestoringText(request.database), "失败"});
        return;
    }
    const std::string database = DatabaseKey(request);
    Run(database, [request = std::move(request)](const std::string& rarPath, const JobContext& job) {
        return RestoreSqlServerDatabase(request, rarPath, job);
    });
}

void RestoreEngine::RestoreMySql(MySqlRestoreRequest request) {
    if (IsRestoring(request)) {
        ShowRestoreBox(window_, {false, "MySQL数据库还原失败:" + RestoringText(request.database), "失 败"});
        return;
    }
    const std::string database = DatabaseKey(request);
    Run(database, [request = std::move(request)](const std::string& rarPath, const JobContext& job) {
        return RestoreMySqlDatabase(request, rarPath, job);
    });
}

}  // namespace zov::gui
