#include "gui/pages/TaskSaveChecks.h"

#include "engine/tasks/QelXml.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/TaskStore.h"

namespace zov::gui {

StoreCheck CheckWithStore(QWidget* owner, const TaskInfo& task) {
    std::string message;
    const int check = TaskStore().ValidateTask(task, message);
    const QString why = QString::fromStdString(message);
    if (check == kValidateError) {
        ShowBox(owner, "错误的任务: " + why, "错误", Prompter::Icon::Error);
        return StoreCheck::Refused;
    }
    if (check == kValidateWarning && ShowBox(owner, "任务设置发生冲突: " + why + "\n\n请问需要继续操作吗？",
                                             "警告", Prompter::Icon::Warning, Prompter::Buttons::YesNo,
                                             Prompter::Answer::Yes) != Prompter::Answer::Yes) {
        return StoreCheck::Declined;
    }
    return StoreCheck::Passed;
}

void DeleteStoredTask(QWidget* owner, int taskId, TaskKind kind) {
    TaskInfo task;
    if (TaskStore().GetTaskById(taskId, task) && !TaskStore().ChangeTask(kChangeDelete, task, true, false)) {
        ShowBox(owner, "任务删除失败", "失败", Prompter::Icon::Error);
        ReloadTaskStore();
    }
    MarkTaskListChanged(kind);
}

}  // namespace zov::gui
