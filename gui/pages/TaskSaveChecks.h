#pragma once

#include "engine/tasks/TaskInfo.h"
#include "gui/pages/TaskListChanged.h"

class QWidget;

// What every task editor does with the program's task store around a save and a delete.
namespace zov::gui {

enum class StoreCheck { Passed, Refused, Declined };

// The store's check of a task before it is saved: a refusal is shown ("错误的任务: ", Refused), a warning
// asked about ("任务设置发生冲突: ", Declined when the answer is No).
StoreCheck CheckWithStore(QWidget* owner, const TaskInfo& task);

// Deletes the stored task; a delete whose save failed is reported over owner and the store read again. The
// list of the kind fills itself again.
void DeleteStoredTask(QWidget* owner, int taskId, TaskKind kind);

}  // namespace zov::gui
