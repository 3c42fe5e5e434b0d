#include "support/TaskStoreFiles.h"

#include <filesystem>

#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "engine/tasks/TaskStoreCipher.h"
#include "engine/util/Aes.h"
#include "gui/shell/TaskStore.h"

namespace zov::gui::test {

std::string TaskRecord(TaskInfo task) { return CQelXML().FormatTask(task, true); }

bool StoreRecords(const std::vector<std::string>& records) {
    std::string text = "<SETUP>\n<TASK>|||||";
    for (const std::string& record : records) text += record + "|||||\n";
    text += "</TASK>\n</SETUP>";
    if (CAES().EncryptTextToFile(text, kTaskStoreKey, TaskDbPath()) != 1) return false;
    TaskStore().SetFilePath(TaskDbPath());
    return TaskStore().Load();
}

TaskInfo FileTask(const std::string& folder, int id, const std::string& name) {
    TaskInfo task;
    task.id = id;
    task.name = name;
    task.flags = kTaskFile | kTaskScheduled | kTaskKeepDays;
    task.source = folder + "src";
    task.dest = folder + "bak/" + name;
    task.times = "01:00";
    task.days.set();
    return task;
}

FilePageFolder::FilePageFolder() {
    std::filesystem::create_directories(folder / "src");
    std::filesystem::create_directories(folder / "bak");
}

TaskInfo FilePageFolder::Task(int id, const std::string& name) const {
    return FileTask(folder.path(), id, name);
}

std::vector<TaskInfo> StoredTasks() {
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    std::vector<TaskInfo> tasks;
    if (store.Load()) store.GetAllTasks(tasks);
    return tasks;
}

}  // namespace zov::gui::test
