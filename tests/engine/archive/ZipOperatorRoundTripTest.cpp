#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "engine/archive/ZipOperator.h"
#include "engine/files/BackupNames.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::ReadFile;
using test::TempProgramDir;
using test::WriteFile;
using Tree = std::map<std::string, std::string>;
using test::ReadTree;

std::string Noise(std::size_t size) {
    std::mt19937 random(7);
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>(random());
    return text;
}

// Runs the driver against the real stand-in archiver of the build.
class ZipOperatorRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        rar_ = test::BuiltProgram("rar");
        WriteFile(src + "notes.txt", "notes");
        WriteFile(src + "scratch.tmp", "scratch");
        WriteFile(src + "sub/data.bin", Noise(2'500'000));
        WriteFile(src + "sub/empty.txt", "");
    }

    TempProgramDir dir_;
    std::string rar_;
    const std::string src = dir_ / "src/";
    const std::string out = dir_ / "out/";
    const std::string dest = dir_ / "restore/";
};

TEST_F(ZipOperatorRoundTrip, VolumesWithPassword) {
    CZipOperator zip(rar_);
    ASSERT_TRUE(zip.CompressFolder(src, out, "pass word", "set", 1)) << zip.message();
    std::string first = FindVolumeName(out + "set");
    EXPECT_TRUE(first.ends_with("set.part1.rar")) << first;

    EXPECT_NE(zip.ExtractFile(first, dest, "wrong"), 0);
    EXPECT_EQ(zip.message().find("wrong"), std::string::npos);
    ASSERT_EQ(zip.ExtractFile(first, dest, "pass word"), 0) << zip.message();
    EXPECT_EQ(ReadTree(dest + "src"), ReadTree(src));
}

TEST_F(ZipOperatorRoundTrip, MasksOnTheWayInAndOut) {
    CZipOperator zip(rar_);
    ASSERT_TRUE(zip.CompressFolderFiltered(src, out, "", "set", true, {"*.bin"})) << zip.message();
    EXPECT_TRUE(zip.TestArchive(out + "set.rar", true, {"*.tmp"}, dir_ / "test.log")) << zip.message();
    ASSERT_EQ(zip.ExtractFolder(out + "set.rar", dest, "", {true, {"*.tmp"}}, "here"), 0) << zip.message();
    EXPECT_EQ(ReadTree(dest + "here/src"), (Tree{{"notes.txt", "notes"}, {"sub/empty.txt", ""}}));

    ASSERT_TRUE(zip.CompressFile(src + "notes.txt", out, "", "single.rar")) << zip.message();
    ASSERT_EQ(zip.ExtractFile(out + "single.rar", dest + "single", ""), 0) << zip.message();
    EXPECT_EQ(ReadTree(dest + "single"), (Tree{{"notes.txt", "notes"}}));
}

TEST_F(ZipOperatorRoundTrip, ChangesSinceTheBase) {
    std::string base = dir_ / "base/";
    std::filesystem::copy(src, base, std::filesystem::copy_options::recursive);
    WriteFile(src + "notes.txt", "changed notes");
    WriteFile(src + "sub/new.txt", "new");
    std::filesystem::remove(src + "scratch.tmp");

    CZipOperator zip(rar_);
    ASSERT_TRUE(zip.CompressChanges(src, out, base, "pw", "20240305140709", 0)) << zip.message();
    ASSERT_EQ(zip.ExtractFile(out + "20240305140709.rar", dest, "pw"), 0) << zip.message();
    EXPECT_EQ(
        ReadTree(dest + "src"),
        (Tree{{"notes.txt", "changed notes"}, {"scratch.tmpqel_temp_del~~~~", ""}, {"sub/new.txt", "new"}}));
    EXPECT_FALSE(std::filesystem::exists(src + "scratch.tmpqel_temp_del~~~~"));
}

// Every run goes through a wrapper that notes the command line the system shows to every user, then
// becomes the real archiver with that same command line.
TEST_F(ZipOperatorRoundTrip, PasswordNeverOnTheCommandLine) {
    const std::string wrapper = dir_ / "wrap/rar";
    WriteFile(wrapper,
              "#!/bin/sh\ntr '\\0' '\\n' < /proc/$$/cmdline >> \"$(dirname \"$0\")/cmdlines\"\nexec '" +
                  rar_ + "' \"$@\"\n");
    ::chmod(wrapper.c_str(), 0755);
    const std::string password = "pass word";
    std::string base = dir_ / "base/";
    std::filesystem::create_directories(base);

    CZipOperator zip(wrapper);
    ASSERT_TRUE(zip.CompressFolder(src, out, password, "full")) << zip.message();
    ASSERT_TRUE(zip.CompressFolderFiltered(src, out, password, "part", true, {"*.bin"}, 1)) << zip.message();
    ASSERT_TRUE(zip.CompressChanges(src, out, base, password, "diff")) << zip.message();
    ASSERT_TRUE(zip.CompressFile(src + "notes.txt", out, password, "one")) << zip.message();
    for (const char* archive : {"full.rar", "part.part1.rar", "diff.rar", "one.rar"}) {
        EXPECT_NE(zip.ExtractFile(out + archive, dest + "none", ""), 0) << archive;
        EXPECT_EQ(ReadTree(dest + "none"), Tree{}) << archive;
        ASSERT_EQ(zip.ExtractFile(out + archive, dest + archive, password), 0) << zip.message();
    }
    ASSERT_EQ(zip.ExtractFolder(out + "full.rar", dest, password, {true, {"*.tmp"}}, "folder"), 0);
    EXPECT_EQ(ReadTree(dest + "full.rar/src"), ReadTree(src));
    EXPECT_EQ(ReadTree(dest + "one.rar"), (Tree{{"notes.txt", "notes"}}));
    EXPECT_EQ(ReadTree(dest + "folder/src").count("notes.txt"), 1u);

    const std::string cmdlines = ReadFile(dir_ / "wrap/cmdlines");
    EXPECT_NE(cmdlines.find(out + "full.rar"), std::string::npos) << cmdlines;
    EXPECT_EQ(cmdlines.find("pass"), std::string::npos) << cmdlines;
}

// Relative names that start with '-' reach the archiver as names.
TEST_F(ZipOperatorRoundTrip, NamesThatLookLikeSwitches) {
    WriteFile(dir_ / "-xdata/file.txt", "data");
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    CZipOperator zip(rar_);
    const bool compressed = zip.CompressFolder("-xdata", out, "", "-n");
    const int extracted = zip.ExtractFile(out + "-n.rar", "-y", "");
    std::filesystem::current_path(previous);
    ASSERT_TRUE(compressed) << zip.message();
    ASSERT_EQ(extracted, 0) << zip.message();
    EXPECT_EQ(ReadTree(dir_ / "-y/-xdata"), (Tree{{"file.txt", "data"}}));
}

}  // namespace
}  // namespace zov
