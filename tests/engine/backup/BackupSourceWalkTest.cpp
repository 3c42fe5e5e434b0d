#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "BackupTestSupport.h"
#include "engine/backup/Backup.h"

namespace zov {
namespace {

using test::BackupTest;

// The number of opens and reads of folder (not of its entries) that inotify saw while run ran.
template <typename Run>
int FolderReads(const std::string& folder, Run run) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, folder.c_str(), IN_OPEN | IN_ACCESS) < 0) {
        ADD_FAILURE() << "cannot watch " << folder;
        if (fd >= 0) close(fd);
        return -1;
    }
    run();
    int reads = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len == 0) ++reads;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    close(fd);
    return reads;
}

// The storage lies inside the source, so the copy leaves it out: only a walk of the whole source opens a
// folder of the storage that the run does not write to.
TEST_F(BackupTest, RunWithDelBadDoesNotWalkTheSource) {
    const std::string storage = source_ + "bak";
    const std::string untouched = storage + "/older";
    std::filesystem::create_directories(untouched + "/inner");
    TaskInfo task = Task(0x05);
    task.dest = storage;
    ASSERT_TRUE(task.delBad);
    std::string message;
    const int reads =
        FolderReads(untouched, [&] { ASSERT_EQ(backup_.RunFileTask(task, "", message, job_.Context()), 1); });
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(std::filesystem::is_directory(storage + "/2024-03-05/Work Files_" + test::kStamp));
}

}  // namespace
}  // namespace zov
