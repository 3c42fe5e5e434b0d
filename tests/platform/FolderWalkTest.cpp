#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/FolderWalk.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

// Inode of what path names, links followed; 0 when missing.
ino_t InodeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

ino_t InodeOf(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_ino : 0;
}

TEST(FolderWalkTest, FollowsOnlyLinksOnlyRootCouldHaveMade) {
    test::TempProgramDir dir;
    const std::string root = dir.path() + "walk";
    std::filesystem::create_directories(root + "/private/real/inner");
    std::filesystem::create_directories(root + "/shared");
    std::filesystem::create_directories(root + "/sticky");
    ASSERT_EQ(::chmod((root + "/private").c_str(), 0755), 0);
    ASSERT_EQ(::chmod((root + "/shared").c_str(), 0777), 0);
    ASSERT_EQ(::chmod((root + "/sticky").c_str(), 01777), 0);
    std::filesystem::create_directory_symlink(root + "/private/real", root + "/private/link");
    std::filesystem::create_directory_symlink("real/inner", root + "/private/relative");
    std::filesystem::create_directory_symlink(root + "/private/real", root + "/shared/link");
    std::filesystem::create_directory_symlink(root + "/private/real", root + "/sticky/rootlink");
    std::filesystem::create_directory_symlink(root + "/private/real", root + "/sticky/userlink");
    ASSERT_EQ(::lchown((root + "/sticky/userlink").c_str(), 65534, 65534), 0);
    test::WriteFile(root + "/private/file", "x");

    struct Case {
        std::string path;
        std::string same;  // the folder expected, or "" for a failure
        int error;
    } cases[] = {
        {root + "/private/real", root + "/private/real", 0},
        {root + "/private/link/inner", root + "/private/real/inner", 0},
        {root + "/private/relative", root + "/private/real/inner", 0},
        {root + "/private/./real/../real", root + "/private/real", 0},
        {root + "/sticky/rootlink", root + "/private/real", 0},
        {root + "/shared/link", "", ELOOP},
        {root + "/shared/link/inner", "", ELOOP},
        {root + "/sticky/userlink", "", ELOOP},
        {root + "/private/file/x", "", ENOTDIR},
        {root + "/private/missing", "", ENOENT},
        {"relative/path", "", EINVAL},
    };
    for (const Case& c : cases) {
        errno = 0;
        const int fd = OpenFolderWalk(c.path, MissingFolders::Fail);
        if (c.same.empty()) {
            EXPECT_EQ(fd, -1) << c.path;
            EXPECT_EQ(errno, c.error) << c.path;
        } else {
            EXPECT_EQ(InodeOf(fd), InodeOf(c.same)) << c.path;
        }
        if (fd >= 0) ::close(fd);
    }
}

TEST(FolderWalkTest, MakesMissingLevelsButNeverThroughAnotherUsersLink) {
    test::TempProgramDir dir;
    const std::string root = dir.path() + "make";
    const std::string outside = dir.path() + "outside";
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(outside);
    ASSERT_EQ(::chmod(root.c_str(), 0777), 0);
    std::filesystem::create_directory_symlink(outside, root + "/planted");

    const int made = OpenFolderWalk(root + "/a/b", MissingFolders::Make, 0700);
    ASSERT_GE(made, 0);
    EXPECT_EQ(InodeOf(made), InodeOf(root + "/a/b"));
    ::close(made);
    struct stat info {};
    ASSERT_EQ(::stat((root + "/a/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    EXPECT_EQ(OpenFolderWalk(root + "/planted/new", MissingFolders::Make), -1);
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(std::filesystem::exists(outside + "/new"));
}

}  // namespace
}  // namespace zov
