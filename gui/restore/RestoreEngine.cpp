#include "gui/restore/RestoreEngine.h"

#include <QPointer>
#include <QWidget>

#include "engine/archive/ZipOperatorLookup.h"
#include "gui/restore/FileRestoreRun.h"
#include "gui/restore/MySqlRestoreJob.h"
#include "gui/restore/SqlServerRestoreJob.h"
#include "gui/shell/TaskStore.h"

namespace zov::gui {

RestoreEngine::RestoreEngine(QWidget* window) : QObject(window), window_(window), threads_(this) {}

TaskInfo RestoreEngine::StoredTask(int taskId) {
    TaskInfo task;
    if (!TaskStore().GetTaskById(taskId, task)) {
        task = TaskInfo{};
        task.id = taskId;
    }
    return task;
}

void RestoreEngine::Run(QWidget* owner,
                        std::function<RestoreBox(const std::string&, const JobContext&)> job) {
    const QPointer<QWidget> boxOwner(owner);
    const bool started =
        threads_.Start([job = std::move(job),
                        rarPath = GetRarPath()](const JobContext& context) { return job(rarPath, context); },
                       [boxOwner](const RestoreBox& box) { ShowRestoreBox(boxOwner.data(), box); });
    if (!started) ShowRestoreBox(owner, FileRestoreBox(false, "无法启动还原线程"));
}

void RestoreEngine::RestoreFiles(FileRestoreRequest request) {
    Run(window_, [task = StoredTask(request.taskId), request = std::move(request)](const std::string& rarPath,
                                                                                   const JobContext& job) {
        return RunFileRestore(request, task, rarPath, job);
    });
}

void RestoreEngine::RestoreFileBatch(int taskId, RestoreBatch batch) {
    Run(window_, [batch = std::move(batch), task = StoredTask(taskId)](const std::string& rarPath,
                                                                       const JobContext& job) {
        return RunBatchRestore(batch, task, rarPath, job);
    });
}

void RestoreEngine::RestoreSqlServer(SqlRestoreRequest request) {
    Run(nullptr, [request = std::move(request)](const std::string& rarPath, const JobContext& job) {
        return RestoreSqlServerDatabase(request, rarPath, job);
    });
}

void RestoreEngine::RestoreMySql(MySqlRestoreRequest request) {
    Run(nullptr, [request = std::move(request)](const std::string& rarPath, const JobContext& job) {
        return RestoreMySqlDatabase(request, rarPath, job);
    });
}

}  // namespace zov::gui
