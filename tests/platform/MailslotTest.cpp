#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/FileLock.h"
#include "platform/Mailslot.h"
#include "platform/ProgramDir.h"
#include "support/NobodyChild.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using std::chrono::milliseconds;

TEST(MailslotTest, SlotsAreSocketFilesInThePrivateRunFolder) {
    EXPECT_EQ(MailslotPath("/opt/zov/", "StateLog"), "/opt/zov/run/StateLog.sock");
    EXPECT_EQ(MailslotPath("/opt/zov", "UpdateLog"), "/opt/zov/run/UpdateLog.sock");
    test::TempProgramDir dir;
    MailslotReader reader(dir.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    struct stat run {};
    struct stat socketFile {};
    ASSERT_EQ(lstat((dir / "run").c_str(), &run), 0);
    ASSERT_EQ(lstat(MailslotPath(dir.path(), "StateLog").c_str(), &socketFile), 0);
    EXPECT_EQ(run.st_mode & 07777, 0700u);
    EXPECT_TRUE(S_ISSOCK(socketFile.st_mode));
}

TEST(MailslotTest, ReaderReceivesWholeMessagesInOrder) {
    test::TempProgramDir dir;
    MailslotReader reader(dir.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    const std::string longMessage(399, 'x');
    for (std::string message :
         {std::string("正在备份 /data"), std::string(), longMessage, std::string("<cmd>3684</cmd>")}) {
        EXPECT_TRUE(MailslotWrite(dir.path(), "StateLog", message));
        std::optional<std::string> received = reader.Receive(milliseconds(1000));
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(*received, message);
    }
    EXPECT_FALSE(reader.Receive(milliseconds(50)).has_value());
}

TEST(MailslotTest, SlotsAndFoldersAreSeparate) {
    test::TempProgramDir dir;
    test::TempProgramDir other;
    MailslotReader state(dir.path(), "StateLog");
    MailslotReader update(dir.path(), "UpdateLog");
    ASSERT_TRUE(state.bound());
    ASSERT_TRUE(update.bound());
    EXPECT_TRUE(MailslotWrite(dir.path(), "UpdateLog", "u"));
    EXPECT_FALSE(MailslotWrite(other.path(), "StateLog", "elsewhere"));
    EXPECT_EQ(update.Receive(milliseconds(1000)), "u");
    EXPECT_FALSE(state.Receive(milliseconds(50)).has_value());
}

TEST(MailslotTest, SecondReaderFailsAndSlotIsFreedAfterwards) {
    test::TempProgramDir dir;
    {
        MailslotReader first(dir.path(), "StateLog");
        ASSERT_TRUE(first.bound());
        MailslotReader second(dir.path(), "StateLog");
        EXPECT_FALSE(second.bound());
        EXPECT_FALSE(second.Receive(milliseconds(10)).has_value());
    }
    MailslotReader again(dir.path(), "StateLog");
    EXPECT_TRUE(again.bound());
}

TEST(MailslotTest, WriterWithoutReaderFailsAtOnce) {
    test::TempProgramDir dir;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MailslotWrite(dir.path(), "StateLog", "nobody listens"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(100));
}

TEST(MailslotTest, WriterNeverBlocksOnAFullQueue) {
    test::TempProgramDir dir;
    MailslotReader reader(dir.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    const std::string message(300, 'm');
    auto start = std::chrono::steady_clock::now();
    int delivered = 0;
    for (int i = 0; i < 5000 && MailslotWrite(dir.path(), "StateLog", message); ++i) ++delivered;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_GT(delivered, 0);
    EXPECT_LT(delivered, 5000) << "the queue should have filled up";
    EXPECT_EQ(reader.Receive(milliseconds(1000)), message);
}

TEST(MailslotTest, OtherUsersCannotSendToOrBindTheSlots) {
    test::TempProgramDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    MailslotReader reader(dir.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    EXPECT_TRUE(test::AsNobody([&] { return !MailslotWrite(dir.path(), "StateLog", "spoofed"); }));
    EXPECT_TRUE(test::AsNobody([&] { return !MailslotReader(dir.path(), "UpdateLog").bound(); }));
    EXPECT_FALSE(reader.Receive(milliseconds(100)).has_value());
    MailslotReader update(dir.path(), "UpdateLog");
    EXPECT_TRUE(update.bound()) << "the slot nobody tried stays free";
}

// A socket file left by a reader that died; only the holder of the program's lock may take its place.
TEST(MailslotTest, StaleSocketIsReplacedOnlyByTheLockHolder) {
    test::TempProgramDir dir;
    test::TempProgramDir other;
    const pid_t crashed = fork();
    if (crashed == 0) {
        MailslotReader reader(dir.path(), "StateLog");
        if (reader.bound()) raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(crashed, &status, 0), crashed);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string stale = MailslotPath(dir.path(), "StateLog");
    ASSERT_TRUE(std::filesystem::exists(stale));
    EXPECT_FALSE(MailslotWrite(dir.path(), "StateLog", "lost"));

    EXPECT_FALSE(MailslotReader(dir.path(), "StateLog").bound()) << "no lock";
    FileLock elsewhere =
        FileLock::TryAcquire(*PrivateRunFolder(other.path()) + "stowmeran.lock", FileLock::Mode::Exclusive);
    ASSERT_TRUE(elsewhere.held());
    EXPECT_FALSE(MailslotReader(dir.path(), "StateLog", elsewhere).bound()) << "another folder's lock";
    EXPECT_FALSE(MailslotReader(dir.path(), "StateLog", FileLock()).bound()) << "a lock not held";
    EXPECT_TRUE(std::filesystem::exists(stale));

    FileLock instance =
        FileLock::TryAcquire(*PrivateRunFolder(dir.path()) + "stowmeran.lock", FileLock::Mode::Exclusive);
    ASSERT_TRUE(instance.held());
    MailslotReader reader(dir.path(), "StateLog", instance);
    ASSERT_TRUE(reader.bound());
    EXPECT_TRUE(MailslotWrite(dir.path(), "StateLog", "after"));
    EXPECT_EQ(reader.Receive(milliseconds(1000)), "after");

    // A live reader is never replaced, lock or not.
    MailslotReader second(dir.path(), "StateLog", instance);
    EXPECT_FALSE(second.bound());
    EXPECT_TRUE(MailslotWrite(dir.path(), "StateLog", "still"));
    EXPECT_EQ(reader.Receive(milliseconds(1000)), "still");
}

// A run/ planted as a link to another installation's is not used: nothing reaches that one's reader.
TEST(MailslotTest, RunFolderThatIsALinkIsNotUsed) {
    test::TempProgramDir dir;
    test::TempProgramDir other;
    MailslotReader reader(other.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    ASSERT_EQ(symlink((other / "run").c_str(), (dir / "run").c_str()), 0);
    EXPECT_FALSE(MailslotWrite(dir.path(), "StateLog", "through the link"));
    EXPECT_FALSE(MailslotReader(dir.path(), "UpdateLog").bound());
    EXPECT_FALSE(reader.Receive(milliseconds(100)).has_value());
    EXPECT_FALSE(std::filesystem::exists(other / "run/UpdateLog.sock"));
}

TEST(MailslotTest, ProgramFolderPathsLongerThanASocketNameWork) {
    test::TempProgramDir dir;
    const std::string deep = dir / (std::string(100, 'd') + "/" + std::string(100, 'e') + "/");
    ASSERT_TRUE(std::filesystem::create_directories(deep));
    MailslotReader reader(deep, "UpdateLog");
    ASSERT_TRUE(reader.bound());
    EXPECT_TRUE(MailslotWrite(deep, "UpdateLog", ""));
    EXPECT_EQ(reader.Receive(milliseconds(1000)), "");
}

}  // namespace
}  // namespace zov
