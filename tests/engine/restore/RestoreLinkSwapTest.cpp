#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "RestoreTestSupport.h"
#include "engine/restore/RestoreItem.h"
#include "engine/restore/RestoreItemTree.h"
#include "platform/Paths.h"

namespace zov {
namespace {

using namespace test;

constexpr uid_t kOtherUser = 65534;

// Every entry below root with its content, permission bits and owner.
std::set<std::string> DescribeOwnedTree(const std::string& root) {
    std::set<std::string> entries = DescribeTree(root);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        entries.insert(entry.path().lexically_relative(root).string() + " " +
                       std::to_string(info.st_mode & 07777) + " " + std::to_string(info.st_uid) + ":" +
                       std::to_string(info.st_gid));
    }
    return entries;
}

class RestoreLinkSwap : public RestoreTest {
  protected:
    // Another user's move: folder (made when missing, with the folders above) goes aside and a link of
    // that user to the outside folder takes its place.
    void SwapForLink(const std::string& folder) {
        std::filesystem::create_directories(GetParentFolder(folder));
        if (std::filesystem::exists(std::filesystem::symlink_status(folder)))
            std::filesystem::rename(folder, folder + ".aside");
        std::filesystem::create_directory_symlink(outside_, folder);
        (void)!::lchown(folder.c_str(), kOtherUser, kOtherUser);
    }

    const std::string outside_ = program_ / "outside";
};

// A folder of the target swapped for a link between two steps of the restore fails it with that folder's
// path, and the folder the link leads to keeps its tree, modes and owners: for a full set copied or
// extracted and for a differential entry copied or unpacked from an archive.
TEST_F(RestoreLinkSwap, ASwappedFolderFailsTheRestoreAndNothingIsWrittenOutside) {
    struct Case {
        std::string what;
        SetKind base;
        bool differential;
        SetKind entry;
        std::string swapped;   // the folder swapped for a link
        std::string swapWhen;  // the path the restore is about to write when the swap happens
        int visit;             // at its visit number
    };
    const std::string target = CleanPath(target_);
    const std::string sub = target + "/docs/sub";
    const Case cases[] = {
        {"full copy set", SetKind::Copied, false, SetKind::Copied, sub, sub, 1},
        {"differential copied", SetKind::Copied, true, SetKind::Copied, sub, sub, 2},
        {"differential unpacked from an archive", SetKind::Compressed, true, SetKind::Compressed, sub, sub,
         1},
        {"full archive, before the extraction", SetKind::Compressed, false, SetKind::Compressed, target,
         target, 1},
    };
    WriteFile(outside_ + "/keep.txt", "outside");
    WriteFile(outside_ + "/deep/c.txt", "outside too");
    ::chmod((outside_ + "/deep").c_str(), 0751);
    (void)!::chown((outside_ + "/keep.txt").c_str(), kOtherUser, kOtherUser);
    const std::set<std::string> before = DescribeOwnedTree(outside_);
    const std::string first = program_ / "first/";
    std::string message;
    ASSERT_TRUE(CopyFolderTree(program_ / "src/", first, message)) << message;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(storage_);
        std::filesystem::remove_all(target);  // the link of the last case, not where it leads
        std::filesystem::remove_all(target + ".aside");
        std::filesystem::remove_all(program_ / "stage");
        std::filesystem::remove_all(program_ / "src");
        ASSERT_TRUE(CopyFolderTree(first, program_ / "src/", message)) << message;
        const std::string base = WriteBase(c.base);
        ChangeSource();
        const std::string item = c.differential ? WriteDifferential(c.entry) : base;

        JobContext job = job_.Context();
        int visits = 0;
        job.beforeEntry = [&](const std::string& path) {
            if (path == c.swapWhen && ++visits == c.visit) SwapForLink(c.swapped);
        };
        const RestoreOwner owner{task_, checked_, rar_, job};
        message.clear();
        const bool restored = c.differential
                                  ? RestoreItemTree(owner, item, target_, message, false, "", false)
                                  : RestoreItem(owner, item, target_, message, false, "", false);
        EXPECT_EQ(visits, c.visit);
        EXPECT_FALSE(restored);
        EXPECT_NE(message.find(c.swapped), std::string::npos) << message;
        EXPECT_TRUE(DescribeOwnedTree(outside_) == before) << "the outside folder changed";
    }
}

}  // namespace
}  // namespace zov
