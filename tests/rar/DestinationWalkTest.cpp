#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

uid_t NobodyUid() {
    const passwd* nobody = getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_uid : 0;
}

// A folder that everyone may write to, as another user could have planted a link in.
std::string OpenFolder(const TempProgramDir& dir) {
    std::filesystem::create_directories(dir / "open");
    chmod((dir / "open").c_str(), 0777);
    return dir / "open";
}

// A folder of the user nobody.
std::string NobodysFolder(const TempProgramDir& dir) {
    std::filesystem::create_directories(dir / "theirs");
    EXPECT_EQ(chown((dir / "theirs").c_str(), NobodyUid(), 0), 0);
    return dir / "theirs";
}

struct WalkCase {
    const char* name;
    // Plants the links; returns the destination to extract to. outside is a folder that must stay as it is.
    std::function<std::string(const TempProgramDir& dir, const std::string& outside)> plant;
    bool followed;  // the link is root's in a folder only root can change: the entries go through it
};

void PrintTo(const WalkCase& param, std::ostream* out) { *out << param.name; }

const WalkCase kWalkCases[] = {
    {"DestinationIsALinkInAFolderAllMayWrite",
     [](const TempProgramDir& dir, const std::string& outside) {
         std::filesystem::create_directory_symlink(outside, OpenFolder(dir) + "/restore");
         return OpenFolder(dir) + "/restore";
     },
     false},
    {"DestinationIsALinkInAFolderOfAnotherUser",
     [](const TempProgramDir& dir, const std::string& outside) {
         std::filesystem::create_directory_symlink(outside, NobodysFolder(dir) + "/restore");
         return NobodysFolder(dir) + "/restore";
     },
     false},
    {"ALevelIsALinkInAFolderAllMayWrite",
     [](const TempProgramDir& dir, const std::string& outside) {
         std::filesystem::create_directory_symlink(outside, OpenFolder(dir) + "/level");
         return OpenFolder(dir) + "/level/restore";
     },
     false},
    {"ALevelIsALinkOfAnotherUser",
     [](const TempProgramDir& dir, const std::string& outside) {
         std::filesystem::create_directory_symlink(outside, dir / "level");
         EXPECT_EQ(lchown((dir / "level").c_str(), NobodyUid(), 0), 0);
         return dir / "level/restore";
     },
     false},
    {"ALevelIsRootsLinkInARootOnlyFolder",
     [](const TempProgramDir& dir, const std::string& outside) {
         std::filesystem::create_directory_symlink(outside, dir / "level");
         return dir / "level/restore";
     },
     true},
};

class RarDestinationWalk : public ::testing::TestWithParam<WalkCase> {};

// The destination is opened level by level from "/": a link another user could have planted there ends the
// extraction before anything is written through it; one only root could have made is followed.
TEST_P(RarDestinationWalk, FollowsOnlyRootsLinks) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to plant links as another user";
    const WalkCase& param = GetParam();
    TempProgramDir dir;
    WriteFile(dir / "source/Data/keep.txt", "new");
    const RarRun made = RunRar({"a", "-r", "-y", "-ep1", "-inul", dir / "store/a.rar", dir / "source/Data"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string outside = dir / "outside";
    WriteFile(outside + "/keep.txt", "original");
    const std::string destination = param.plant(dir, outside);

    const RarRun run = RunRar({"x", "-y", "-o+", dir / "store/a.rar", destination});
    if (param.followed) {
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(ReadFile(outside + "/restore/Data/keep.txt"), "new");
        return;
    }
    EXPECT_EQ(run.exitCode, 9) << run.output;
    EXPECT_NE(run.output.find(destination), std::string::npos) << run.output;
    EXPECT_EQ(ListTree(outside).size(), 1u);
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), "original");
}

INSTANTIATE_TEST_SUITE_P(Links, RarDestinationWalk, ::testing::ValuesIn(kWalkCases),
                         [](const ::testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zov::test
