#pragma once

#include <gtest/gtest.h>

#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"

namespace zov::test {

// Adds the task to the program folder's task.db; the task as stored, with the id the store gave it.
inline TaskInfo StoreInTaskDb(TaskInfo task) {
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    EXPECT_TRUE(store.Load());
    EXPECT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
    return task;
}

}  // namespace zov::test
