#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "SchedulerTestSupport.h"
#include "engine/tasks/TaskStoreFile.h"
#include "service/ExpiredBackups.h"
#include "service/Scheduler.h"
#include "service/SharedTaskStore.h"

namespace zov {
namespace {

class SharedTaskStoreTest : public test::RunStateTest {
  protected:
    // A store of one task whose name is given; names of one length give files of one size.
    std::string StoreText(const std::string& name) const {
        TaskInfo task = test::ScheduledTask(program_, 1, "08:00");
        task.name = name;
        return "<SETUP>\n<TASK>|||||" + test::TaskRecord(task) + "|||||\n</TASK>\n</SETUP>";
    }

    std::string StoredName() const {
        TaskInfo task;
        return store_.store().GetTaskById(1, task) ? task.name : "";
    }

    const std::string db_ = TaskDbPath();
    SharedTaskStore store_{db_};
};

TEST_F(SharedTaskStoreTest, TaskDbIsReadAgainOnlyWhenItChanged) {
    struct Case {
        const char* what;
        std::function<void(const std::string& db)> change;
        bool read;
        std::string name;  // the task's name afterwards; "" for none
    };
    const auto restoreTimes = [](const std::string& db, const struct stat& before) {
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, db.c_str(), times, 0), 0);
    };
    const Case cases[] = {
        {"unchanged", [](const std::string&) {}, false, "任务1"},
        {"replaced within the same second by a file of the same size",
         [&](const std::string& db) { ASSERT_TRUE(WriteTaskStore(db, StoreText("任务2"))); }, true, "任务2"},
        {"replaced by a file of the same size and modification time",
         [&](const std::string& db) {
             struct stat before {};
             ASSERT_EQ(stat(db.c_str(), &before), 0);
             ASSERT_TRUE(WriteTaskStore(db + ".new", StoreText("任务2")));
             restoreTimes(db + ".new", before);
             ASSERT_EQ(std::rename((db + ".new").c_str(), db.c_str()), 0);
         },
         true, "任务2"},
        {"rewritten in place, same size, modification time put back",
         [&](const std::string& db) {
             struct stat before {};
             ASSERT_EQ(stat(db.c_str(), &before), 0);
             ASSERT_EQ(CAES().EncryptTextToFile(StoreText("任务2"), kTaskStoreKey, db), 1);
             restoreTimes(db, before);
         },
         true, "任务2"},
        {"grown", [&](const std::string& db) { ASSERT_TRUE(WriteTaskStore(db, StoreText("任务二十"))); },
         true, "任务二十"},
        {"removed", [](const std::string& db) { ASSERT_EQ(unlink(db.c_str()), 0); }, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteTaskStore(db_, StoreText("任务1")));
        ASSERT_TRUE(store_.Refresh());
        ASSERT_EQ(StoredName(), "任务1");
        test::OpenCounter opens({program_.path()});
        c.change(db_);
        opens.Take("task.db");
        EXPECT_EQ(store_.Refresh(), c.read);
        // A missing file is found missing without being opened.
        EXPECT_EQ(opens.Take("task.db"), c.read && !c.name.empty() ? 1 : 0);
        EXPECT_EQ(StoredName(), c.name);
        EXPECT_FALSE(store_.Refresh()) << "read once per change";
        EXPECT_EQ(opens.Take("task.db"), 0);
    }
}

TEST_F(SharedTaskStoreTest, AStoreThatCouldNotBeReadIsTriedAgain) {
    ASSERT_EQ(mkdir(db_.c_str(), 0700), 0);
    test::OpenCounter opens({program_.path()});
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(store_.Refresh());
        EXPECT_FALSE(store_.IsLoaded());
    }
    EXPECT_EQ(opens.Take("task.db"), 2);
    ASSERT_EQ(rmdir(db_.c_str()), 0);
    ASSERT_TRUE(WriteTaskStore(db_, StoreText("任务1")));
    EXPECT_TRUE(store_.Refresh());
    EXPECT_EQ(StoredName(), "任务1");
}

// The scheduler's and the expired-backup passes share one reading of each version of task.db.
TEST_F(SharedTaskStoreTest, ThePassesShareOneRead) {
    RunQueue queue;
    Scheduler scheduler(queue, store_);
    ExpiredBackups expiry(store_);
    ASSERT_TRUE(WriteTaskStore(db_, StoreText("任务1")));
    test::OpenCounter opens({program_.path()});
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(scheduler.RunPass(), round == 0 ? 1 : 0);
        expiry.RunPass();
    }
    EXPECT_EQ(opens.Take("task.db"), 1);
    ASSERT_TRUE(WriteTaskStore(db_, StoreText("任务2")));
    opens.Take("task.db");
    expiry.RunPass();
    scheduler.RunPass();
    EXPECT_EQ(opens.Take("task.db"), 1);
    EXPECT_EQ(StoredName(), "任务2");
}

}  // namespace
}  // namespace zov
