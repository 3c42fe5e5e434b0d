#pragma once

#include <string>
#include <vector>

#include "engine/tasks/TaskInfo.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

namespace zov::gui::test {

// The record text of a task as the store writes it, keeping the task's id.
std::string TaskRecord(TaskInfo task);

// Writes the program folder's task.db holding the records (texts as stored, damaged ones too) and loads the
// program's task store from it; false when either failed.
bool StoreRecords(const std::vector<std::string>& records);

// A file task of the folder: source <folder>src, storage <folder>bak/<name>, scheduled daily at 01:00.
TaskInfo FileTask(const std::string& folder, int id, const std::string& name);

// The folder of the file page's tests: a program folder with the source folder "src" of its file tasks and
// the folder "bak" that holds their storage folders, and the recording prompter.
struct FilePageFolder {
    FilePageFolder();
    // FileTask of the folder.
    TaskInfo Task(int id, const std::string& name) const;

    TempProgramFolder folder;
    RecordingPrompter prompter;
};

// The tasks task.db holds now, read by a store of its own; empty when it cannot be read.
std::vector<TaskInfo> StoredTasks();

}  // namespace zov::gui::test
