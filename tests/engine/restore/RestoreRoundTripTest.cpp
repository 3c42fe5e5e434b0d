#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RestoreTestSupport.h"
#include "engine/restore/RestoreItem.h"
#include "engine/restore/RestoreItemTree.h"
#include "engine/restore/RestoreWithOptions.h"

namespace zov {
namespace {

using namespace test;

// The restored tree is the source: names, contents, empty folders and modes.
void ExpectSameTree(const std::string& restored, const std::string& source, const std::string& what) {
    EXPECT_EQ(DescribeTree(restored), DescribeTree(source)) << what;
    EXPECT_EQ(DescribeModes(restored), DescribeModes(source)) << what;
}

class RestoreRoundTrip : public RestoreTest {
  protected:
    // A copy of the first state, taken before the source changes.
    void KeepFirstState() {
        std::string message;
        ASSERT_TRUE(CopyFolderTree(program_ / "src/", program_ / "first/", message)) << message;
    }
};

TEST_F(RestoreRoundTrip, AFullSetGivesTheSourceBack) {
    for (SetKind kind : kAllKinds) {
        std::filesystem::remove_all(storage_);
        std::filesystem::remove_all(target_);
        const std::string set = WriteBase(kind);
        std::string message;
        EXPECT_TRUE(RestoreItem(Owner(), set, target_, message, false, PasswordOf(kind), false))
            << KindName(kind) << ": " << message;
        ExpectSameTree(target_ + "docs", source_, KindName(kind));
    }
}

TEST_F(RestoreRoundTrip, BaseAndDifferentialGiveTheSecondStateAndTheBaseAloneTheFirst) {
    KeepFirstState();
    for (SetKind kind : kAllKinds) {
        SCOPED_TRACE(KindName(kind));
        std::filesystem::remove_all(storage_);
        std::filesystem::remove_all(program_ / "stage");
        std::filesystem::remove_all(program_ / "src");
        std::string message;
        ASSERT_TRUE(CopyFolderTree(program_ / "first/", program_ / "src/", message)) << message;
        const std::string base = WriteBase(kind);
        ChangeSource();
        const std::string entry = WriteDifferential(kind);

        std::filesystem::remove_all(target_);
        EXPECT_TRUE(RestoreItemTree(Owner(), entry, target_, message, false, PasswordOf(kind), false))
            << message;
        ExpectSameTree(target_ + "docs", source_, "base and differential");
        EXPECT_TRUE(Markers(target_).empty());

        std::filesystem::remove_all(target_);
        EXPECT_TRUE(RestoreWithOptions(Owner(), entry, target_, base, message, PasswordOf(kind), false))
            << message;
        ExpectSameTree(target_ + "docs", source_, "with options");
        EXPECT_TRUE(Markers(target_).empty());

        std::filesystem::remove_all(target_);
        EXPECT_TRUE(RestoreItem(Owner(), base, target_, message, false, PasswordOf(kind), false)) << message;
        ExpectSameTree(target_ + "docs", program_ / "first/docs", "base alone");
        // The entry's work folder is gone from the cache folder.
        EXPECT_TRUE(!std::filesystem::exists(program_ / "cache") ||
                    std::filesystem::is_empty(program_ / "cache"));
    }
}

// A target the user chose may hold markers of its own (an old restore, a copied source): only the markers
// the restored entry carries delete anything.
TEST_F(RestoreRoundTrip, AStaleMarkerInTheTargetDeletesNothing) {
    WriteBase(SetKind::Copied);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    WriteFile(target_ + "docs/mine.txt", "mine");
    WriteFile(target_ + "docs/mine.txt" + kMarker, "");
    WriteFile(target_ + "docs/sub/a.txt", "also mine");
    WriteFile(target_ + "docs/sub/a.txt" + kMarker, "");
    std::string message;
    ASSERT_TRUE(RestoreItemTree(Owner(), entry, target_, message, false, "", false)) << message;
    EXPECT_EQ(ReadFile(target_ + "docs/mine.txt"), "mine");
    EXPECT_EQ(ReadFile(target_ + "docs/sub/a.txt"), "also mine");
    EXPECT_FALSE(std::filesystem::exists(target_ + "docs/gone.txt"));
    EXPECT_FALSE(std::filesystem::exists(target_ + "docs/sub/deep/old.txt"));
    EXPECT_EQ(Markers(target_).size(), 2u);  // the user's own, left alone
}

// A marker names a link in the target: the link goes, never what it points to.
TEST_F(RestoreRoundTrip, AMarkerNeverFollowsALink) {
    WriteBase(SetKind::Copied);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    WriteFile(program_ / "elsewhere/old.txt", "keep");
    std::filesystem::create_directories(target_ + "docs/sub");
    std::filesystem::create_directory_symlink(program_ / "elsewhere", target_ + "docs/sub/deep");
    std::string message;
    RestoreItemTree(Owner(), entry, target_, message, false, "", false);
    EXPECT_EQ(ReadFile(program_ / "elsewhere/old.txt"), "keep");
}

// Files already in the target are replaced by new ones, never written into: a hard link or a link there to
// a file outside the target leaves that file as it was, both when a set is put back and when an entry is
// laid over it.
TEST_F(RestoreRoundTrip, ARestoreNeverWritesThroughALinkInTheTarget) {
    const std::string base = WriteBase(SetKind::Copied);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    const std::string outside = program_ / "outside/";
    for (const bool differential : {false, true}) {
        SCOPED_TRACE(differential ? "differential" : "base");
        std::filesystem::remove_all(target_);
        std::filesystem::remove_all(outside);
        WriteFile(outside + "hard.txt", "outside, hard");
        WriteFile(outside + "soft.txt", "outside, soft");
        std::filesystem::create_directories(target_ + "docs/sub/deep");
        std::filesystem::create_hard_link(outside + "hard.txt", target_ + "docs/a.txt");
        std::filesystem::create_symlink(outside + "soft.txt", target_ + "docs/sub/deep/c.txt");
        std::string message;
        const bool restored = differential
                                  ? RestoreItemTree(Owner(), entry, target_, message, false, "", false)
                                  : RestoreItem(Owner(), base, target_, message, false, "", false);
        EXPECT_TRUE(restored) << message;
        EXPECT_EQ(ReadFile(outside + "hard.txt"), "outside, hard");
        EXPECT_EQ(ReadFile(outside + "soft.txt"), "outside, soft");
        EXPECT_EQ(ReadFile(target_ + "docs/a.txt"), differential ? "alpha, changed" : "alpha");
        EXPECT_EQ(ReadFile(target_ + "docs/sub/deep/c.txt"), "charlie");
        EXPECT_FALSE(std::filesystem::is_symlink(target_ + "docs/sub/deep/c.txt"));
    }
}

TEST_F(RestoreRoundTrip, AppendNamePutsTheSetUnderItsName) {
    const std::string base = WriteBase(SetKind::Compressed);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Compressed);
    std::string message;
    ASSERT_TRUE(RestoreItem(Owner(), base, target_, message, false, "", true)) << message;
    EXPECT_TRUE(std::filesystem::is_directory(target_ + "docs/docs/sub/deep"));
    ASSERT_TRUE(RestoreItemTree(Owner(), entry, program_ / "tree/", message, false, "", true)) << message;
    ExpectSameTree(program_ / "tree/docs/docs", source_, "tree with its name");
}

TEST_F(RestoreRoundTrip, CheckedItemsAreRestoredInOrder) {
    const std::string first = WriteBase(SetKind::Copied);
    WriteFile(program_ / "other/docs/x.txt", "x");
    const std::string second = WriteSet(program_ / "other/docs/", storage_ + "2024-03-02/",
                                        "docs_20240302010000", SetKind::Compressed);
    checked_ = {first, second};
    std::string message;
    ASSERT_TRUE(RestoreItem(Owner(), first, target_, message, true, "", true)) << message;
    EXPECT_EQ(ReadFile(target_ + "docs/x.txt"), "x");
    EXPECT_EQ(ReadFile(target_ + "docs/a.txt"), "alpha");
    EXPECT_EQ(LogLines().size(), 2u);  // one per item, none for the whole
}

}  // namespace
}  // namespace zov
