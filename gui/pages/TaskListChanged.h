#pragma once

// The task-list-changed flags of the management program: an editor that saved a task sets its kind's flag
// and the list of that kind, which polls it every 500 ms, fills itself again.
namespace zov::gui {

enum class TaskKind { Files, SqlServer, MySql };

void MarkTaskListChanged(TaskKind kind);
// True once after each mark: the flag is cleared.
bool TakeTaskListChanged(TaskKind kind);

// After a change of a task whose save failed: the store reads task.db again, so that it and every list show
// what the file holds, not the change that was not saved.
void ReloadTaskStore();

}  // namespace zov::gui
