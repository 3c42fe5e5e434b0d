#include "gui/pages/TaskListChanged.h"

#include <array>
#include <atomic>

#include "gui/shell/TaskStore.h"

namespace zov::gui {

namespace {

std::array<std::atomic<bool>, 3> changed{};

std::atomic<bool>& Flag(TaskKind kind) { return changed[static_cast<int>(kind)]; }

}  // namespace

void MarkTaskListChanged(TaskKind kind) { Flag(kind) = true; }

bool TakeTaskListChanged(TaskKind kind) { return Flag(kind).exchange(false); }

void ReloadTaskStore() {
    TaskStore().Load();
    for (TaskKind kind : {TaskKind::Files, TaskKind::SqlServer, TaskKind::MySql}) MarkTaskListChanged(kind);
}

}  // namespace zov::gui
