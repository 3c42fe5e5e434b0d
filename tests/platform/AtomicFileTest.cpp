#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

TEST(AtomicFileTest, ReplacesContentAndLeavesNoTempFiles) {
    test::TempProgramDir dir;
    const std::string path = dir / "task.db";
    ASSERT_TRUE(WriteFileAtomic(path, "first"));
    EXPECT_EQ(ReadWholeFile(path), "first");
    ASSERT_TRUE(WriteFileAtomic(path, std::string("sec\0ond", 7)));
    EXPECT_EQ(ReadWholeFile(path), std::string("sec\0ond", 7));
    ASSERT_TRUE(WriteFileAtomic(path, ""));
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(ListDirectory(dir.path()), std::vector<std::string>{"task.db"});
}

TEST(AtomicFileTest, NewFileIsPrivateAndReplacementKeepsMode) {
    test::TempProgramDir dir;
    const std::string path = dir / "config.ini";
    ASSERT_TRUE(WriteFileAtomic(path, "a"));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomic(path, "b"));
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(AtomicFileTest, FailureKeepsTheOldFile) {
    test::TempProgramDir dir;
    test::WriteFile(dir / "file", "old");
    EXPECT_FALSE(WriteFileAtomic(dir / "missing/task.db", "new"));
    EXPECT_FALSE(WriteFileAtomic(dir / "file/task.db", "new")) << "a file stands where the folder should be";
    EXPECT_FALSE(WriteFileAtomic(dir.path(), "new"));
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
    test::WriteFile(dir / "folder/inner", "x");
    EXPECT_FALSE(WriteFileAtomic(dir / "folder", "new")) << "a non-empty folder cannot be replaced";
    EXPECT_EQ(ReadWholeFile(dir / "file"), "old");
    EXPECT_EQ(ListDirectory(dir.path()), (std::vector<std::string>{"file", "folder"}));
}

TEST(AtomicFileTest, ConcurrentWritersNeverTearTheFile) {
    test::TempProgramDir dir;
    const std::string path = dir / "temp.ini";
    const std::string a(100000, 'a');
    const std::string b(100000, 'b');
    ASSERT_TRUE(WriteFileAtomic(path, a));
    std::vector<std::thread> writers;
    for (const std::string* content : {&a, &b, &a, &b}) {
        writers.emplace_back([&, content] {
            for (int i = 0; i < 20; ++i) EXPECT_TRUE(WriteFileAtomic(path, *content));
        });
    }
    for (int i = 0; i < 200; ++i) {
        std::optional<std::string> read = ReadWholeFile(path);
        ASSERT_TRUE(read.has_value());
        EXPECT_TRUE(*read == a || *read == b);
    }
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(ListDirectory(dir.path()), std::vector<std::string>{"temp.ini"});
}

TEST(AtomicFileTest, ReadWholeFileOfMissingOrFolderIsNothing) {
    test::TempProgramDir dir;
    EXPECT_FALSE(ReadWholeFile(dir / "missing").has_value());
    EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());
}

}  // namespace
}  // namespace zov
