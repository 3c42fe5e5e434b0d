#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::TempProgramDir;

TaskInfo FileTask(const std::string& name) {
    TaskInfo task;
    task.flags = kTaskFile | kTaskScheduled;
    task.name = name;
    task.source = "/data/" + name;
    task.dest = "/backup/" + name;
    task.times = "08:00";
    return task;
}

// Whether the store holds changes that are not in task.db, after each way of reaching a state.
TEST(QelXmlUnsavedTest, TellsChangesNotInTheFile) {
    struct Case {
        const char* name;
        std::function<void(CQelXML&, const std::string& db)> act;
        bool unsaved;
    };
    const Case cases[] = {
        {"fresh load", [](CQelXML&, const std::string&) {}, false},
        {"change without save",
         [](CQelXML& store, const std::string&) {
             TaskInfo task = FileTask("a");
             ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, false, false));
         },
         true},
        {"change then save",
         [](CQelXML& store, const std::string&) {
             TaskInfo task = FileTask("a");
             ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, false, false));
             ASSERT_TRUE(store.Save());
         },
         false},
        {"change saved at once",
         [](CQelXML& store, const std::string&) {
             TaskInfo task = FileTask("a");
             ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
         },
         false},
        {"incomplete change",
         [](CQelXML& store, const std::string&) {
             TaskInfo task = FileTask("a");
             task.source.clear();
             ASSERT_FALSE(store.ChangeTask(kChangeAdd, task, false, false));
         },
         false},
        {"save that failed",
         [](CQelXML& store, const std::string& db) {
             TaskInfo task = FileTask("a");
             ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, false, false));
             store.SetFilePath(db + ".missing/task.db");
             EXPECT_FALSE(store.Save());
         },
         true},
        {"reload drops the change",
         [](CQelXML& store, const std::string&) {
             TaskInfo task = FileTask("a");
             ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, false, false));
             ASSERT_TRUE(store.Load());
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramDir dir;
        IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault());
        CQelXML store;
        store.SetFilePath(dir / "task.db");
        ASSERT_TRUE(store.Load());
        c.act(store, dir / "task.db");
        EXPECT_EQ(store.HasUnsavedChanges(), c.unsaved);
    }
}

TEST(QelXmlUnsavedTest, NotLoadedStoreHasNothingToSave) {
    TempProgramDir dir;
    CQelXML store;
    EXPECT_FALSE(store.HasUnsavedChanges());
    TaskInfo task = FileTask("a");
    EXPECT_FALSE(store.ChangeTask(kChangeAdd, task, false, false));
    EXPECT_FALSE(store.HasUnsavedChanges());
}

}  // namespace
}  // namespace zov
