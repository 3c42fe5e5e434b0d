#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "engine/files/FileOperator.h"
#include "engine/mssql/FolderAcl.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "support/NobodyChild.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

// As nobody: writes a file into folder and reads it back.
bool NobodyWritesAndReads(const std::string& folder) {
    return test::AsNobody([&] {
        const std::string file = folder + "/probe.bak";
        {
            std::ofstream out(file);
            out << "written";
            if (!out.flush()) return false;
        }
        std::ifstream in(file);
        std::string text;
        return std::getline(in, text) && text == "written";
    });
}

class FolderAclTest : public ::testing::Test {
  protected:
    FolderAclTest() {
        test::WriteFile(DebugLogPath(), "");
        SetDebugSwitch(true);
    }
    ~FolderAclTest() override { SetDebugSwitch(false); }

    // A private folder below a private cache folder, as a backup run makes it.
    std::string PrivateFolder(const std::string& under) const {
        const std::string folder = under + "/cache/zovsvc_ab12c";
        EXPECT_EQ(CFileOperator().CreateFolder(folder), 1);
        return folder;
    }

    test::TempProgramDir program_;
};

TEST_F(FolderAclTest, EveryoneCanWriteAndReadBelowThePrivateCacheFolder) {
    const std::string folder = PrivateFolder(program_.path());
    ASSERT_FALSE(NobodyWritesAndReads(folder));
    GrantEveryoneAccess(folder);
    EXPECT_TRUE(NobodyWritesAndReads(folder));
    struct stat info {};
    ASSERT_EQ(::stat((program_ / "cache").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0701u) << "the cache folder may be passed, not read";
    EXPECT_NE(test::ReadFile(DebugLogPath()).find("\t设置用户Everyone对" + folder + "的读写权限成功\n"),
              std::string::npos);
}

TEST_F(FolderAclTest, ExplicitAccessChecksTheAccountAndThePath) {
    const std::string folder = PrivateFolder(program_.path());
    struct Case {
        std::string account, path;
        bool granted;
        std::string error;
    };
    const Case cases[] = {
        {"no-such-account", folder, false, "用户名no-such-account无效"},
        {"Everyone", program_ / "missing", false, "待设置的目录" + program_ / "missing" + "无效"},
        {"", folder, false, ""},
        {"NOBODY", folder, true, ""},
        {"everyone", folder, true, ""},
    };
    FolderAcl acl;
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(acl.SetExplicitAccess(c.account, c.path, kGenericRead | kGenericWrite, error, 1, 1, 0),
                  c.granted)
            << c.account;
        EXPECT_EQ(error, c.error) << c.account;
    }
    EXPECT_TRUE(acl.IsGroup("EVERYONE"));
    EXPECT_TRUE(acl.IsUser("root", true));
}

// A named user's entry lets that account in, the other class stays out; the right passes to new folders.
TEST_F(FolderAclTest, ANamedUserEntryIsInheritedByNewFolders) {
    const std::string folder = PrivateFolder(program_.path());
    FolderAcl acl;
    ASSERT_TRUE(acl.GrantAccess("nobody", kGenericRead | kGenericWrite, folder));
    ASSERT_EQ(::chmod((program_ / "cache").c_str(), 0701), 0);
    ASSERT_EQ(::chmod(program_.path().c_str(), 0701), 0);
    ASSERT_TRUE(fs::create_directory(folder + "/inner"));
    EXPECT_TRUE(NobodyWritesAndReads(folder + "/inner"));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07, 0u);
}

// Where the file system has no ACLs (ramfs), the other class gets the rights through the mode bits.
TEST_F(FolderAclTest, WithoutAclsTheModeBitsAreSet) {
    const std::string mount = program_ / "ram";
    fs::create_directories(mount);
    if (::mount("none", mount.c_str(), "ramfs", 0, "mode=0700") != 0)
        GTEST_SKIP() << "ramfs cannot be mounted";
    const std::string folder = PrivateFolder(mount);
    GrantEveryoneAccess(folder);
    struct stat info {};
    EXPECT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0707u);
    EXPECT_TRUE(NobodyWritesAndReads(folder));
    FolderAcl acl;
    std::string error;
    EXPECT_FALSE(acl.SetExplicitAccess("nobody", folder, kGenericRead | kGenericWrite, error, 1, 1, 0));
    EXPECT_TRUE(error.starts_with("设置权限失败。")) << error;
    EXPECT_EQ(::umount2(mount.c_str(), MNT_DETACH), 0);
}

}  // namespace
}  // namespace zov
