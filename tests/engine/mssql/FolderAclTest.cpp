#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "engine/files/FileOperator.h"
#include "engine/mssql/FolderAcl.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "support/NobodyChild.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

// As user: writes a file into folder and reads it back.
bool WritesAndReads(const char* user, const std::string& folder) {
    return test::AsUser(user, [&] {
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

bool NobodyWritesAndReads(const std::string& folder) { return WritesAndReads("nobody", folder); }

// The ACL of path as getfacl shows it (without the comments).
std::string AclText(const std::string& path, acl_type_t type = ACL_TYPE_ACCESS) {
    acl_t acl = acl_get_file(path.c_str(), type);
    if (acl == nullptr) return "";
    char* text = acl_to_text(acl, nullptr);
    std::string result = text != nullptr ? text : "";
    acl_free(text);
    acl_free(acl);
    return result;
}

mode_t Mode(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

class FolderAclTest : public ::testing::Test {
  protected:
    FolderAclTest() {
        test::WriteFile(DebugLogPath(), "");
        SetDebugSwitch(true);
        IniFile(ConfigIniPath()).Write("ServerAccount", "MSSQL", "nobody");
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

// The server's account alone gets into the work folder, by named entries: rwx there (passed on to what is
// made inside), passage through the folders above it that it could not pass, only while the run holds it.
// The other class is never changed, and every folder is left as it was.
TEST_F(FolderAclTest, TheServerAccountAloneGetsIntoTheWorkFolder) {
    const std::string folder = PrivateFolder(program_.path());
    const std::string cache = program_ / "cache";
    // A folder with a named entry and a mask already: its mask gains search and loses it again.
    acl_t masked = acl_from_text("u::rwx,g::r--,g:daemon:r--,m::r--,o::---");
    ASSERT_EQ(acl_set_file(cache.c_str(), ACL_TYPE_ACCESS, masked), 0);
    acl_free(masked);
    const std::string programAcl = AclText(program_.path());
    const std::string cacheAcl = AclText(cache);
    const std::string tmpAcl = AclText("/tmp");
    ASSERT_FALSE(NobodyWritesAndReads(folder));
    {
        TraverseGrant passage;
        std::string message;
        ASSERT_TRUE(GrantEveryoneAccess(folder, passage, message)) << message;
        EXPECT_TRUE(NobodyWritesAndReads(folder));
        EXPECT_TRUE(fs::create_directory(folder + "/inner"));
        EXPECT_TRUE(NobodyWritesAndReads(folder + "/inner")) << "the right is passed on";
        EXPECT_FALSE(WritesAndReads("daemon", folder)) << "no other account gets in";
        EXPECT_NE(AclText(folder).find("user:nobody:rwx"), std::string::npos) << AclText(folder);
        EXPECT_NE(AclText(folder, ACL_TYPE_DEFAULT).find("user:nobody:rwx"), std::string::npos);
        EXPECT_NE(AclText(program_.path()).find("user:nobody:--x"), std::string::npos);
        EXPECT_NE(AclText(cache).find("user:nobody:--x"), std::string::npos) << AclText(cache);
        EXPECT_EQ(AclText("/tmp"), tmpAcl) << "a folder the account could pass is left alone";
        for (const std::string& path : {program_.path(), cache, folder})
            EXPECT_EQ(Mode(path) & 07, 0u) << path;
    }
    EXPECT_EQ(AclText(program_.path()), programAcl);
    EXPECT_EQ(AclText(cache), cacheAcl);
    EXPECT_EQ(Mode(program_.path()), 0700u);
    EXPECT_FALSE(NobodyWritesAndReads(folder)) << "the passage went with the run";
    EXPECT_NE(test::ReadFile(DebugLogPath()).find("\t设置用户Everyone对" + folder + "的读写权限成功\n"),
              std::string::npos);
}

// Runs at once share a passage; it goes when the last run ends, or once a run that died is found dead.
TEST_F(FolderAclTest, APassageLastsWhileARunNeedsIt) {
    const std::string first = PrivateFolder(program_.path());
    const std::string second = program_ / "cache/zovsvc_cd34e";
    ASSERT_EQ(CFileOperator().CreateFolder(second), 1);
    const std::string programAcl = AclText(program_.path());
    std::string message;
    TraverseGrant one;
    TraverseGrant two;
    ASSERT_TRUE(GrantEveryoneAccess(first, one, message)) << message;
    ASSERT_TRUE(GrantEveryoneAccess(second, two, message)) << message;
    one.Release();
    EXPECT_TRUE(NobodyWritesAndReads(second));
    two.Release();
    EXPECT_FALSE(NobodyWritesAndReads(second));
    EXPECT_EQ(AclText(program_.path()), programAcl);

    // A run killed between grant and release.
    const pid_t run = fork();
    if (run == 0) {
        TraverseGrant passage;
        std::string why;
        const bool granted = GrantEveryoneAccess(first, passage, why);
        std::_Exit(granted ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(NobodyWritesAndReads(first));
    ReleaseStaleServerAccess();
    EXPECT_FALSE(NobodyWritesAndReads(first));
    EXPECT_EQ(AclText(program_.path()), programAcl);
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

// The run fails, saying why, where the account cannot be let in alone: nothing is opened to others instead.
TEST_F(FolderAclTest, WhereOnlyTheAccountCannotBeLetInTheRunFails) {
    const std::string mount = program_ / "ram";
    fs::create_directories(mount);
    const bool ramfs = ::mount("none", mount.c_str(), "ramfs", 0, "mode=0700") == 0;
    struct Case {
        std::string what, account, under;
        std::function<void()> prepare;
        std::string why;  // after "的读写权限失败：", "<M>" for the mount point, "<C>" for the cache folder
    };
    const Case cases[] = {
        {"unknown account", "no-such-account", program_.path(), [] {},
         "数据库服务账户no-such-account不存在（config.ini [MSSQL] ServerAccount）"},
        {"a file system without ACLs (ramfs)", "nobody", mount, [] {}, "<M> 所在的文件系统不支持ACL"},
        {"a mask that would let the owning group pass too", "nobody", program_ / "masked",
         [this] {
             acl_t acl = acl_from_text("u::rwx,g::r-x,g:daemon:r--,m::r--,o::---");
             EXPECT_EQ(acl_set_file((program_ / "masked/cache").c_str(), ACL_TYPE_ACCESS, acl), 0);
             acl_free(acl);
         },
         "<C> 的ACL无法只让该账户通行（其掩码会让其他账户一同通行）"},
    };
    for (const Case& c : cases) {
        if (c.under == mount && !ramfs) continue;
        SCOPED_TRACE(c.what);
        IniFile(ConfigIniPath()).Write("ServerAccount", "MSSQL", c.account);
        const std::string folder = PrivateFolder(c.under);
        c.prepare();
        const std::string cacheAcl = AclText(c.under + "/cache");
        TraverseGrant passage;
        std::string message;
        EXPECT_FALSE(GrantEveryoneAccess(folder, passage, message));
        std::string why = c.why;
        for (const auto& [mark, path] : {std::pair{"<M>", mount}, std::pair{"<C>", c.under + "/cache"}}) {
            if (const std::size_t at = why.find(mark); at != std::string::npos) why.replace(at, 3, path);
        }
        EXPECT_EQ(message, "设置用户Everyone对" + folder + "的读写权限失败：" + why);
        EXPECT_NE(test::ReadFile(DebugLogPath()).find("\t" + message + "\n"), std::string::npos);
        EXPECT_EQ(test::ReadFile(DebugLogPath()).find("的DACL失败"), std::string::npos);
        EXPECT_EQ(Mode(folder), 0700u);
        EXPECT_EQ(AclText(c.under + "/cache"), cacheAcl) << "nothing is left changed";
        EXPECT_FALSE(NobodyWritesAndReads(folder));
    }
    if (ramfs) {
        FolderAcl acl;
        std::string error;
        EXPECT_FALSE(acl.SetExplicitAccess("Everyone", mount, kGenericRead | kGenericWrite, error, 1, 1, 0));
        EXPECT_TRUE(error.starts_with("设置权限失败。")) << error;
        EXPECT_EQ(Mode(mount), 0700u) << "never the mode bits instead";
        EXPECT_EQ(::umount2(mount.c_str(), MNT_DETACH), 0);
    }
}

// The management program's copy names the failed step in the debug log before the outcome line.
TEST_F(FolderAclTest, TheManagementProgramNamesTheFailedStep) {
    struct Case {
        std::string what, account;
        bool masked;
        std::string step;  // "<F>" for the folder
    };
    const Case cases[] = {
        {"unknown account", "no-such-account", false, "获取用户no-such-account的SID失败"},
        {"entries that cannot be set", "nobody", true, "获取路径<F>的DACL失败"},
        {"granted", "nobody", false, ""},
    };
    LogAccessSteps(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile(DebugLogPath(), "");
        IniFile(ConfigIniPath()).Write("ServerAccount", "MSSQL", c.account);
        const std::string under = program_ / c.what;
        const std::string folder = PrivateFolder(under);
        if (c.masked) {
            acl_t acl = acl_from_text("u::rwx,g::r-x,g:daemon:r--,m::r--,o::---");
            EXPECT_EQ(acl_set_file((under + "/cache").c_str(), ACL_TYPE_ACCESS, acl), 0);
            acl_free(acl);
        }
        TraverseGrant passage;
        std::string message;
        EXPECT_EQ(GrantEveryoneAccess(folder, passage, message), c.step.empty());
        std::string step = c.step;
        if (const std::size_t at = step.find("<F>"); at != std::string::npos) step.replace(at, 3, folder);
        const std::string log = test::ReadFile(DebugLogPath());
        const std::size_t outcome = log.find("设置用户Everyone对" + folder);
        ASSERT_NE(outcome, std::string::npos) << log;
        if (step.empty()) {
            EXPECT_EQ(log.find("失败"), std::string::npos) << log;
        } else {
            EXPECT_LT(log.find("\t" + step + "\n"), outcome) << log;
        }
    }
    LogAccessSteps(false);
}

}  // namespace
}  // namespace zov
