#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ZipOperatorTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "engine/files/FileOperator.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov {
namespace {

using Files = std::set<std::string>;

// A source whose storage folder lies inside it and already holds a compressed and a copied backup.
// Beside the storage folder lie folders that a wildcard reading of its name would also take.
class ExcludedFolderTest : public ::testing::Test {
  protected:
    void MakeSource(const std::string& storage) {
        for (const char* file : {"a.txt", "sub/b.txt", "sub/bak/keep.txt", "bxk[1]/keep.txt"}) {
            test::WriteFile(source + "/" + file, file);
        }
        test::WriteFile(source + "/" + storage + "/2024-03-04/data_20240304010000.rar", "old archive");
        test::WriteFile(source + "/" + storage + "/2024-03-04/data_20240304020000/data/a.txt", "old copy");
    }

    const Files kept{"a.txt=a.txt", "sub/b.txt=sub/b.txt", "sub/bak/keep.txt=sub/bak/keep.txt",
                     "bxk[1]/keep.txt=bxk[1]/keep.txt"};
    test::TempProgramDir dir;
    const std::string source = dir / "data";
};

const char* const kStorageFolders[] = {"store", "sub/b?k", "b*k[1]"};

TEST_F(ExcludedFolderTest, ArchivesLeaveTheStorageFolderOut) {
    const std::string rar = test::BuiltProgram("rar");
    const FilterSet onlyText{false, {"*.txt"}};
    int number = 0;
    for (const char* storage : kStorageFolders) {
        MakeSource(storage);
        const std::string store = source + "/" + storage;
        const std::string run = dir / std::to_string(number++);
        std::filesystem::create_directories(run + "/base");
        CZipOperator zip(rar);
        zip.SetExcludedFolder(store);
        ASSERT_TRUE(zip.CompressFolder(source, store + "/2024-03-05", "", "full")) << zip.message();
        ASSERT_TRUE(zip.CompressFolderFiltered(source + "/", store + "/2024-03-05", "", "only", false,
                                               onlyText.extensions))
            << zip.message();
        ASSERT_TRUE(zip.CompressChanges(source, store + "/diff", run + "/base", "", "changes"))
            << zip.message();
        ASSERT_TRUE(zip.CompressSubfolders(source, store + "/each", "")) << zip.message();
        std::set<std::string> items;
        for (const auto& entry : std::filesystem::directory_iterator(store + "/each")) {
            const std::string name = entry.path().filename().string();
            items.insert(name.substr(0, name.rfind('_')));
        }
        EXPECT_EQ(items, (std::set<std::string>{"bxk[1]", "sub"})) << storage;
        for (const char* archive : {"/2024-03-05/full.rar", "/2024-03-05/only.rar", "/diff/changes.rar"}) {
            const std::string restore = run + "/restore" + archive;
            ASSERT_EQ(zip.ExtractFile(store + archive, restore, ""), 0) << zip.message();
            EXPECT_EQ(test::DescribeFiles(restore + "/data"), kept) << storage << archive;
        }
        std::filesystem::remove_all(source);
    }
}

TEST_F(ExcludedFolderTest, CopiesLeaveTheStorageFolderOutAndMayWriteIntoIt) {
    const FilterSet all{true, {}};
    const FilterSet onlyText{false, {"*.txt"}};
    for (const char* storage : kStorageFolders) {
        MakeSource(storage);
        const std::string store = source + "/" + storage;
        CFileOperator refused;
        EXPECT_EQ(refused.CopyFolder(source, store + "/2024-03-05/data_1", "", true, false), 0) << storage;

        CFileOperator files;
        files.SetExcludedFolder(store);
        ASSERT_EQ(files.CopyFolder(source, store + "/2024-03-05/data_1", "", true, false), 1)
            << files.error();
        ASSERT_EQ(files.CopyFolderFiltered(source, store + "/2024-03-05/data_2", "", true, all, false, false),
                  1)
            << files.error();
        ASSERT_EQ(
            files.CopyFolderFiltered(source, store + "/2024-03-05/data_3", "", true, onlyText, false, false),
            1)
            << files.error();
        for (const char* copy : {"data_1", "data_2", "data_3"}) {
            EXPECT_EQ(test::DescribeFiles(store + "/2024-03-05/" + copy + "/data"), kept) << storage << copy;
        }
        std::filesystem::remove_all(source);
    }
}

class ExcludedFolderSwitch : public test::FakeRarTest {};

TEST_F(ExcludedFolderSwitch, NamedInAPrivateListThatIsRemovedAfterwards) {
    const std::string source = dir_ / "data";
    test::WriteFile(source + "/a.txt", "a");
    std::filesystem::create_directories(source + "/b?k");
    std::filesystem::create_directories(dir_ / "outside");
    MakeArchives();
    struct Case {
        std::string excluded;
        std::string listed;  // "" when no -x@ switch is expected
    };
    const Case cases[] = {
        {source + "/b?k", source + "/b?k\n"},
        {source + "/./b?k/", source + "/b?k\n"},
        {dir_ / "outside", ""},
        {source, ""},
        {source + "/missing", ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir_ / "fake/left_out");
        CZipOperator zip(FakeRar());
        zip.SetExcludedFolder(c.excluded);
        ASSERT_TRUE(zip.CompressFolder(source, dir_ / "out", "", "set")) << zip.message();
        const std::vector<std::string> args = RecordedArgs();
        const auto end = std::find(args.begin(), args.end(), "--");
        ASSERT_NE(end, args.end());
        const auto leftOut =
            std::find_if(args.begin(), end, [](const std::string& a) { return a.starts_with("-x@"); });
        EXPECT_EQ(leftOut != end, !c.listed.empty()) << c.excluded;
        EXPECT_EQ(Recorded("left_out"), c.listed) << c.excluded;
        if (c.listed.empty()) continue;
        EXPECT_EQ(Recorded("left_out_mode"), "600\n");
        EXPECT_FALSE(std::filesystem::exists(leftOut->substr(3)));
    }
}

}  // namespace
}  // namespace zov
