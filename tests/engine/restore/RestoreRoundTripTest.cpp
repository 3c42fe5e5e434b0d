#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "RestoreTestSupport.h"
#include "engine/restore/DifferentialEntry.h"
#include "engine/restore/RestoreItem.h"
#include "engine/restore/RestoreItemTree.h"
#include "engine/restore/RestoreWithOptions.h"
#include "engine/util/Md5.h"

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

// An entry's markers of both forms delete what they name in their own folder: an empty "<name>" marker of
// an existing set, and a long name recorded in a marker named by its digest. A forged marker whose name is
// no single path level, or whose content does not match its digest, deletes nothing.
TEST_F(RestoreRoundTrip, MarkersDeleteOnlyTheEntryTheyNameInTheirFolder) {
    const std::string longName = std::string(248, 'l') + ".txt";
    const auto longMarker = [](const std::string& name, const std::string& content) {
        return std::pair{Md5Hex(name).substr(0, 32) + "qel_long_del~~~~", content};
    };
    const std::pair<std::string, std::string> forged[] = {
        longMarker("../x", "../x"), longMarker("..", ".."),
        longMarker(".", "."),       longMarker("sub/b.txt", "sub/b.txt"),
        longMarker("zzz", "a.txt"), {"..qel_temp_del~~~~", ""},
        {".qel_temp_del~~~~", ""},
    };
    WriteFile(source_ + longName, "long");
    WriteFile(source_ + "sub/b.txt", "bravo");
    for (SetKind kind : {SetKind::Copied, SetKind::Compressed}) {
        SCOPED_TRACE(KindName(kind));
        std::filesystem::remove_all(storage_);
        std::filesystem::remove_all(target_);
        std::filesystem::remove_all(program_ / "stage");
        WriteBase(kind);
        const std::string stage = program_ / "stage/docs/";
        WriteFile(stage + "gone.txt" + kMarker, "");
        const auto [name, content] = longMarker(longName, longName);
        WriteFile(stage + name, content);
        for (const auto& [marker, text] : forged) WriteFile(stage + marker, text);
        const std::string entry = WriteSet(stage, DiffFolder(), kDiffStamp, kind);
        WriteFile(target_ + "x", "outside the restored folder");

        std::string message;
        ASSERT_TRUE(RestoreItemTree(Owner(), entry, target_, message, false, "", false)) << message;
        std::set<std::string> expected = DescribeTree(source_);
        expected.erase("gone.txt=to be deleted");
        expected.erase(longName + "=long");
        EXPECT_EQ(DescribeTree(target_ + "docs"), expected);
        EXPECT_EQ(ReadFile(target_ + "x"), "outside the restored folder");
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

// A marker names a link in the restored base (to a file or a folder): the link goes, never what it points
// to; the entry's files are never written through a linked folder either.
TEST_F(RestoreRoundTrip, AMarkerNeverFollowsALink) {
    const std::string base = WriteBase(SetKind::Copied);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    std::string message;
    ASSERT_TRUE(RestoreItem(Owner(), base, target_, message, false, "", false)) << message;
    const std::string elsewhere = program_ / "elsewhere/";
    WriteFile(elsewhere + "gone.txt", "keep");
    WriteFile(elsewhere + "deep/old.txt", "keep too");
    WriteFile(elsewhere + "old/x.txt", "keep the folder");
    std::filesystem::remove(target_ + "docs/gone.txt");
    std::filesystem::create_symlink(elsewhere + "gone.txt", target_ + "docs/gone.txt");
    std::filesystem::remove_all(target_ + "docs/old");
    std::filesystem::create_directory_symlink(elsewhere + "old", target_ + "docs/old");
    std::filesystem::remove_all(target_ + "docs/sub/deep");
    std::filesystem::create_directory_symlink(elsewhere + "deep", target_ + "docs/sub/deep");
    const std::set<std::string> before = DescribeTree(elsewhere);

    EXPECT_FALSE(LayDifferentialEntry(Owner(), {entry, target_, "", false, entry}, message));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(target_ + "docs/gone.txt")));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(target_ + "docs/old")));
    EXPECT_TRUE(std::filesystem::is_symlink(target_ + "docs/sub/deep"));
    EXPECT_EQ(DescribeTree(elsewhere), before);
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

// A differential entry restored without its base applies its markers as deletions and never leaves one
// in the target, copied or extracted.
TEST_F(RestoreRoundTrip, ADifferentialEntryAloneLeavesNoMarkerInTheTarget) {
    for (const SetKind kind : {SetKind::Copied, SetKind::Compressed}) {
        SCOPED_TRACE(KindName(kind));
        std::filesystem::remove_all(storage_);
        std::filesystem::remove_all(target_);
        std::filesystem::remove_all(program_ / "stage");
        WriteBase(kind);
        ChangeSource();
        const std::string entry = WriteDifferential(kind);
        WriteFile(target_ + "docs/gone.txt", "to be deleted");
        WriteFile(target_ + "docs/kept.txt", "the user's");
        std::string message;
        EXPECT_TRUE(RestoreItem(Owner(), entry, target_, message, false, "", false)) << message;
        EXPECT_TRUE(Markers(target_).empty());
        EXPECT_FALSE(std::filesystem::exists(target_ + "docs/gone.txt"));
        EXPECT_EQ(ReadFile(target_ + "docs/kept.txt"), "the user's");
        EXPECT_EQ(ReadFile(target_ + "docs/a.txt"), "alpha, changed");
        EXPECT_EQ(ReadFile(target_ + "docs/sub/deep/new.txt"), "new");
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

// The checked items are put back one after the other in their order: a file both hold ends as the later
// one has it, and the records follow the same order.
TEST_F(RestoreRoundTrip, CheckedItemsAreRestoredInOrder) {
    const std::string first = WriteBase(SetKind::Copied);
    WriteFile(program_ / "other/docs/x.txt", "x");
    WriteFile(program_ / "other/docs/a.txt", "alpha, later");
    const std::string second = WriteSet(program_ / "other/docs/", storage_ + "2024-03-02/",
                                        "docs_20240302010000", SetKind::Compressed);
    const std::vector<std::string> orders[] = {{first, second}, {second, first}};
    for (const std::vector<std::string>& order : orders) {
        SCOPED_TRACE(order.front());
        std::filesystem::remove_all(target_);
        std::filesystem::remove(program_ / "Log/Files/2024-03-05.log");
        checked_ = order;
        std::string message;
        ASSERT_TRUE(RestoreItem(Owner(), first, target_, message, true, "", true)) << message;
        EXPECT_EQ(ReadFile(target_ + "docs/a.txt"), order.back() == second ? "alpha, later" : "alpha");
        EXPECT_EQ(ReadFile(target_ + "docs/x.txt"), "x");
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 2u);  // one per item, none for the whole
        EXPECT_EQ(lines[0][5], order[0]);
        EXPECT_EQ(lines[1][5], order[1]);
    }
}

}  // namespace
}  // namespace zov
