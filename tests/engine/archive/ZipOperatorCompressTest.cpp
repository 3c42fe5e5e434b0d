#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ZipOperatorTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "support/ManualClock.h"

namespace zov {
namespace {

using test::FakeRarTest;
using test::WriteFile;

class ZipOperatorCompress : public FakeRarTest {
  protected:
    void SetUp() override {
        FakeRarTest::SetUp();
        WriteFile(src + "f.txt", "data");
        WriteFile(dir_ / "blocker", "a file where a folder should be");
    }

    const std::string src = dir_ / "src/";
    const std::string out = dir_ / "out/";
};

struct RefusalCase {
    const char* name;
    std::function<bool(CZipOperator&)> run;
    std::function<std::string()> message;
    bool archiverRuns = false;
};

TEST_F(ZipOperatorCompress, RefusalsAndTheirMessages) {
    const std::string missing = dir_ / "missing";
    const RefusalCase cases[] = {
        {"file without item", [&](CZipOperator& z) { return z.CompressFile("", out, "", "set"); },
         [] { return std::string("无效的参数"); }},
        {"file without archive name", [&](CZipOperator& z) { return z.CompressFile(src, out, "", ""); },
         [] { return std::string("无效的参数"); }},
        {"folder without storage", [&](CZipOperator& z) { return z.CompressFolder(src, "", "", "set"); },
         [] { return std::string("使用winrar压缩时，传入了非法参数。"); }},
        {"masks without source",
         [&](CZipOperator& z) { return z.CompressFolderFiltered("", out, "", "set", true, {}); },
         [] { return std::string("使用winrar压缩时，传入了非法参数。"); }},
        {"folder source missing", [&](CZipOperator& z) { return z.CompressFolder(missing, out, "", "set"); },
         [&] { return "压缩文件夹时1，源目录" + missing + "不存在"; }},
        {"masks source missing",
         [&](CZipOperator& z) { return z.CompressFolderFiltered(missing, out, "", "set", false, {"*.a"}); },
         [&] { return "压缩文件夹时2，源目录" + missing + "不存在"; }},
        {"sub-folders source missing",
         [&](CZipOperator& z) { return z.CompressSubfolders(missing, out, ""); },
         [&] { return "压缩文件夹时3，源目录" + missing + "不存在"; }},
        {"sub-folder masks source missing",
         [&](CZipOperator& z) { return z.CompressSubfoldersFiltered(missing, out, "", true, {}); },
         [&] { return "压缩文件夹时4，源目录" + missing + "不存在"; }},
        {"nothing written", [&](CZipOperator& z) { return z.CompressFolder(src, out, "", "set"); },
         [&] { return "压缩成功，但是压缩文件" + out + "set.rar未创建（压缩项为空）。"; }, true},
        {"file, nothing written",
         [&](CZipOperator& z) { return z.CompressFile(src + "f.txt", out, "", "x.rar"); },
         [&] { return "压缩成功，但是压缩文件" + out + "x.rar未创建（压缩项为空）。"; }, true},
    };
    for (const RefusalCase& c : cases) {
        std::filesystem::remove(dir_ / "fake/archives");
        CZipOperator zip(FakeRar());
        EXPECT_FALSE(c.run(zip)) << c.name;
        EXPECT_EQ(zip.message(), c.message()) << c.name;
        EXPECT_EQ(!Recorded("archives").empty(), c.archiverRuns) << c.name;
    }
}

TEST_F(ZipOperatorCompress, StorageFolderThatCannotBeMade) {
    const std::string blocked = dir_ / "blocker/out";
    CZipOperator zip(FakeRar());
    EXPECT_FALSE(zip.CompressFolder(src, blocked, "", "set"));
    EXPECT_TRUE(zip.message().starts_with("压缩文件夹时，存储目录" + blocked + "无效，错误号（"))
        << zip.message();
    EXPECT_TRUE(zip.message().ends_with("）"));
    EXPECT_EQ(Recorded("archives"), "");
}

TEST_F(ZipOperatorCompress, FolderJobsNeedTheArchiver) {
    CZipOperator zip(dir_ / "no/rar");
    EXPECT_FALSE(zip.CompressFolder(src, out, "", "set"));
    EXPECT_EQ(zip.message(), "选择了使用winrar压缩，但是未指定winrar路径");
    EXPECT_FALSE(zip.CompressSubfoldersFiltered(src, out, "", false, {"*.a"}));
    EXPECT_EQ(zip.message(), "选择了使用winrar压缩，但是未指定winrar路径");
    EXPECT_EQ(zip.ExtractFolder(src + "f.txt", dir_ / "to", "", {}), -1);
    EXPECT_EQ(zip.message(), "选择了使用winrar解压，但是未指定winrar路径");
}

TEST_F(ZipOperatorCompress, ArchiveFoundAfterTheRun) {
    struct Case {
        int exitCode;
        std::string written;  // suffix the fake gives the archive; "" writes none
        bool success;
        std::string messageEnd;
    };
    const std::string empty = "压缩成功，但是压缩文件" + out + "set.rar未创建（压缩项为空）。";
    const Case cases[] = {
        {0, ".rar", true, ""},
        {0, ".part1.rar", true, ""},
        {0, ".part01.rar", true, ""},
        {0, ".part0001.rar", true, ""},
        {1, ".rar", true, "：警告,非致命错误\n"},
        {6, ".rar", true, "警告：文件打开错误，一个或多个文件未压缩。\n"},
        {10, "", false, empty},
        {0, ".part2.rar", false, empty},
    };
    ManualClock clock(0);
    SetClock(&clock);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.exitCode) + c.written);
        std::filesystem::remove_all(out);
        std::filesystem::remove(dir_ / "fake/make");
        SetExitCode(c.exitCode);
        if (!c.written.empty()) MakeArchives(c.written);
        CZipOperator zip(FakeRar());
        const std::int64_t start = clock.NowMs();
        EXPECT_EQ(zip.CompressFolder(src, out, "", "set", 10), c.success);
        EXPECT_TRUE(zip.message().ends_with(c.messageEnd)) << zip.message();
        EXPECT_EQ(zip.message().empty(), c.messageEnd.empty());
        // Only a failed run pauses before the caller may try again.
        EXPECT_EQ(clock.NowMs() - start >= 500, !c.success) << clock.NowMs() - start;
    }
    SetClock(nullptr);
}

TEST_F(ZipOperatorCompress, EverySubfolderGetsItsOwnArchive) {
    WriteFile(src + "b/1.txt", "1");
    WriteFile(src + "a/2.txt", "2");
    MakeArchives();
    CZipOperator zip(FakeRar());
    EXPECT_TRUE(zip.CompressSubfolders(src, out, "pw", 5));
    EXPECT_EQ(RecordedLines("archives"),
              (std::vector<std::string>{out + "a_20240305140709.rar", out + "b_20240305140709.rar"}));
    EXPECT_EQ(RecordedArgs().back(), src + "b");

    std::filesystem::remove(dir_ / "fake/archives");
    clock_.Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
    EXPECT_TRUE(zip.CompressSubfoldersFiltered(src, out, "", false, {"*.txt"}));
    EXPECT_EQ(RecordedLines("archives").size(), 2u);
    EXPECT_EQ(RecordedArgs().at(2), "-n*.txt");

    std::filesystem::remove(dir_ / "fake/archives");
    clock_.Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
    SetExitCode(2);
    EXPECT_FALSE(zip.CompressSubfolders(src, out, ""));
    EXPECT_EQ(RecordedLines("archives"), std::vector<std::string>{out + "a_20240305140709.rar"});
}

TEST_F(ZipOperatorCompress, SubfolderJobWithoutSubfoldersFails) {
    MakeArchives();
    CZipOperator zip(FakeRar());
    EXPECT_FALSE(zip.CompressSubfolders(src, out, ""));
    EXPECT_FALSE(zip.CompressSubfolders("", out, ""));
    EXPECT_EQ(Recorded("archives"), "");
}

}  // namespace
}  // namespace zov
