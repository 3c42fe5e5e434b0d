#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ZipOperatorTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "engine/archive/ZipOperatorChangeList.h"
#include "engine/util/Md5.h"
#include "platform/Paths.h"

namespace zov {
namespace {

using test::FakeRarTest;
using test::ReadFile;
using test::WriteFile;
using Lines = std::vector<std::string>;

class ZipOperatorChanges : public FakeRarTest {
  protected:
    // src against base: same.txt unchanged, changed.txt and deep/inner.doc changed, new.tmp new,
    // gone.txt and deep/gone.doc deleted, base/only/ a folder that is gone.
    void SetUp() override {
        FakeRarTest::SetUp();
        for (const char* root : {"src/", "base/"}) {
            WriteFile(dir_ / root + "same.txt", "same");
            WriteFile(dir_ / root + "deep/same.doc", "same");
        }
        WriteFile(src + "changed.txt", "new");
        WriteFile(base + "changed.txt", "old");
        WriteFile(src + "deep/inner.doc", "new");
        WriteFile(base + "deep/inner.doc", "old");
        WriteFile(src + "new.tmp", "new");
        WriteFile(base + "gone.txt", "gone");
        WriteFile(base + "deep/gone.doc", "gone");
        WriteFile(base + "only/x.txt", "gone");
    }

    Lines ListFilesLeft() const {
        Lines left;
        for (const std::string& name : ListDirectory(dir_.path())) {
            if (name.starts_with("qel_temp_")) left.push_back(name);
        }
        return left;
    }

    Lines MarkersIn(const std::string& folder) const {
        Lines markers;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            std::string path = entry.path().string();
            if (path.ends_with("qel_temp_del~~~~")) markers.push_back(path);
        }
        std::sort(markers.begin(), markers.end());
        return markers;
    }

    const std::string src = dir_ / "src/";
    const std::string base = dir_ / "base/";
    const std::string out = dir_ / "out/";
    const std::string list = dir_ / "changes.ls";
    const std::string markers = dir_ / "markers/";
};

// The changed files and new folders of the source, and a marker for every file and folder gone from it,
// made in the markers folder and never in the source.
TEST_F(ZipOperatorChanges, ListHoldsChangedFilesAndMarkers) {
    WriteFile(src + "fresh/empty/.keep", "");
    std::filesystem::remove(src + "fresh/empty/.keep");
    ASSERT_TRUE(WriteChangeList(src, dir_ / "base", markers, list));
    EXPECT_EQ(ReadFile(list), markers + "gone.txtqel_temp_del~~~~\n" + markers + "onlyqel_temp_del~~~~\n" +
                                  src + "changed.txt\n" + markers + "deep/gone.docqel_temp_del~~~~\n" + src +
                                  "deep/inner.doc\n" + src + "fresh\n" + src + "fresh/empty\n" + src +
                                  "new.tmp\n");
    EXPECT_EQ(MarkersIn(markers),
              (Lines{markers + "deep/gone.docqel_temp_del~~~~", markers + "gone.txtqel_temp_del~~~~",
                     markers + "onlyqel_temp_del~~~~"}));
    EXPECT_EQ(MarkersIn(src), Lines{});
}

TEST_F(ZipOperatorChanges, FilteredListTakesTheMasksOfAFullBackup) {
    struct Case {
        FilterSet filter;
        std::string expected;
    };
    const std::string gone = markers + "gone.txtqel_temp_del~~~~\n";
    const std::string only = markers + "onlyqel_temp_del~~~~\n";
    const std::string deepGone = markers + "deep/gone.docqel_temp_del~~~~\n";
    const Case cases[] = {
        {{true, {"*.tmp"}}, gone + only + src + "changed.txt\n" + deepGone + src + "deep/inner.doc\n"},
        {{false, {"*.doc"}}, only + deepGone + src + "deep/inner.doc\n"},
        {{true, {"*/deep/*"}}, gone + only + src + "changed.txt\n" + src + "new.tmp\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(list);
        std::filesystem::remove_all(markers);
        ASSERT_TRUE(WriteChangeListFiltered(src, base, c.filter, markers, list));
        EXPECT_EQ(ReadFile(list), c.expected);
        EXPECT_EQ(MarkersIn(markers).size(), 3u);
    }
}

TEST_F(ZipOperatorChanges, LinkedFolderIsNotFollowed) {
    ASSERT_EQ(symlink("..", (src + "up").c_str()), 0);
    ASSERT_TRUE(WriteChangeList(src, base, markers, list));
    EXPECT_NE(ReadFile(list).find(src + "up\n"), std::string::npos);
    EXPECT_EQ(ReadFile(list).find(src + "up/"), std::string::npos);
}

// A source that is one file is compared with the file of its name in the base.
TEST_F(ZipOperatorChanges, ASingleFileSourceIsListedWhenItChanged) {
    for (const bool changed : {true, false}) {
        std::filesystem::remove(list);
        WriteFile(base + "file.txt", changed ? "before" : "same");
        WriteFile(dir_ / "one/file.txt", "same");
        ASSERT_TRUE(WriteChangeList(dir_ / "one/file.txt", base, markers, list));
        EXPECT_EQ(ReadFile(list), changed ? dir_ / "one/file.txt" + "\n" : "") << changed;
    }
}

// A deletion whose marker cannot be made (something else in its place) fails the walk with the deleted
// entry's name, and no archive is written.
TEST_F(ZipOperatorChanges, ADeletionThatCannotBeRecordedFailsNamingIt) {
    std::filesystem::create_directories(markers + "gone.txtqel_temp_del~~~~");
    std::string failure;
    EXPECT_FALSE(WalkChanges(
        src, base, markers, nullptr, nullptr, [](const std::string&) { return true; }, failure));
    EXPECT_EQ(failure, "差异备份时，无法记录已删除的" + src + "gone.txt（File exists）");
    EXPECT_EQ(MarkersIn(src), Lines{});
}

// A name too long for "<name>qel_temp_del~~~~" (a file and a folder, nested too) is recorded in a private
// marker named by its digest and holding the name; the others keep the first form.
TEST_F(ZipOperatorChanges, ADeletedLongNameIsRecordedByItsDigest) {
    const std::string file(250, 'f');
    const std::string folder = std::string(240, 'd') + "夹";
    WriteFile(base + file, "gone");
    WriteFile(base + "deep/" + folder + "/x.txt", "gone");
    WriteFile(base + std::string(239, 'k'), "gone, its marker just fits");
    ASSERT_TRUE(WriteChangeList(src, base, markers, list));
    const std::string fileMarker = markers + Md5Hex(file).substr(0, 32) + "qel_long_del~~~~";
    const std::string folderMarker = markers + "deep/" + Md5Hex(folder).substr(0, 32) + "qel_long_del~~~~";
    EXPECT_EQ(ReadFile(fileMarker), file);
    EXPECT_EQ(ReadFile(folderMarker), folder);
    struct stat info {};
    ASSERT_EQ(::stat(fileMarker.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    const std::string listed = ReadFile(list);
    EXPECT_NE(listed.find(fileMarker + "\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find(folderMarker + "\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find(markers + std::string(239, 'k') + "qel_temp_del~~~~\n"), std::string::npos);
}

TEST_F(ZipOperatorChanges, RunUsesAPrivateListAndCleansUp) {
    for (int exitCode : {0, 2}) {
        SCOPED_TRACE(exitCode);
        MakeArchives();
        SetExitCode(exitCode);
        CZipOperator zip(FakeRar());
        EXPECT_EQ(zip.CompressChanges(src, out, base, "pw", "20240305140709"), exitCode == 0);
        EXPECT_EQ(Recorded("list_mode"), "600\n");
        const Lines args = RecordedArgs();
        const std::string folder = args.back() + "/";
        EXPECT_TRUE(folder.starts_with(dir_ / "cache/zovsvc_")) << folder;
        EXPECT_EQ(Recorded("list"), folder + "gone.txtqel_temp_del~~~~\n" + folder +
                                        "onlyqel_temp_del~~~~\n" + src + "changed.txt\n" + folder +
                                        "deep/gone.docqel_temp_del~~~~\n" + src + "deep/inner.doc\n" + src +
                                        "new.tmp\n");
        EXPECT_EQ(args.at(args.size() - 2), dir_ / "src");
        EXPECT_EQ(args.at(args.size() - 3), out + "20240305140709.rar");
        EXPECT_EQ(args.at(args.size() - 5), "-apsrc/");
        EXPECT_EQ(ListFilesLeft(), Lines{});
        EXPECT_EQ(MarkersIn(src), Lines{});
        EXPECT_FALSE(std::filesystem::exists(folder));
    }
}

TEST_F(ZipOperatorChanges, NothingChanged) {
    std::filesystem::remove_all(base);
    std::filesystem::copy(src, base, std::filesystem::copy_options::recursive);
    MakeArchives();
    CZipOperator zip(FakeRar());
    EXPECT_FALSE(zip.CompressChangesFiltered(src, out, base, "", "set", {false, {"*.doc"}}));
    EXPECT_EQ(zip.message(), "压缩成功，但是压缩文件" + out + "set.rar未创建（无差异文件）。");
    EXPECT_EQ(Recorded("archives"), "");
    EXPECT_EQ(ListFilesLeft(), Lines{});
}

TEST_F(ZipOperatorChanges, Refusals) {
    CZipOperator zip(FakeRar());
    EXPECT_FALSE(zip.CompressChanges(src, out, "", "", "set"));
    EXPECT_EQ(zip.message(), "使用winrar压缩时，传入了非法参数。");
    EXPECT_FALSE(zip.CompressChanges(dir_ / "none", out, base, "", "set"));
    EXPECT_EQ(zip.message(), "压缩文件夹时5，源目录" + (dir_ / "none") + "不存在");
    EXPECT_FALSE(zip.CompressChangesFiltered(dir_ / "none", out, base, "", "set", {}));
    EXPECT_EQ(zip.message(), "压缩文件夹时6，源目录" + (dir_ / "none") + "不存在");
    EXPECT_FALSE(zip.CompressSubfolderChanges(dir_ / "none", out, base, ""));
    EXPECT_EQ(zip.message(), "压缩文件夹时7，源目录" + (dir_ / "none") + "不存在");
    EXPECT_FALSE(zip.CompressSubfolderChangesFiltered(dir_ / "none", out, base, "", {}));
    EXPECT_EQ(zip.message(), "压缩文件夹时8，源目录" + (dir_ / "none") + "不存在");
    EXPECT_EQ(Recorded("archives"), "");
}

TEST_F(ZipOperatorChanges, EverySubfolderAgainstItsOwnBase) {
    std::string outer = dir_ / "outer/";
    std::string outerBase = dir_ / "outerBase/";
    WriteFile(outer + "one/a.txt", "new");
    WriteFile(outerBase + "one/a.txt", "old");
    WriteFile(outer + "two/b.txt", "same");
    WriteFile(outerBase + "two/b.txt", "same");
    WriteFile(outerBase + "two/c.txt", "gone");
    MakeArchives();
    CZipOperator zip(FakeRar());
    EXPECT_TRUE(zip.CompressSubfolderChanges(outer, out, outerBase, ""));
    EXPECT_EQ(RecordedLines("archives"),
              (Lines{out + "one_20240305140709.rar", out + "two_20240305140709.rar"}));
    EXPECT_EQ(Recorded("list"), RecordedArgs().back() + "/c.txtqel_temp_del~~~~\n");
    EXPECT_EQ(RecordedArgs().at(RecordedArgs().size() - 2), outer + "two");
    EXPECT_EQ(MarkersIn(outer), Lines{});
}

}  // namespace
}  // namespace zov
