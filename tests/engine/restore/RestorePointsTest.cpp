#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/restore/RestorePoints.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

// "relative path|name|stamp" of each point.
std::vector<std::string> Described(const std::vector<RestorePoint>& points, const std::string& storage) {
    std::vector<std::string> lines;
    for (const RestorePoint& point : points)
        lines.push_back(point.path.substr(storage.size()) + "|" + point.name + "|" + point.stamp);
    return lines;
}

class RestorePointsTest : public ::testing::Test {
  protected:
    void Folder(const std::string& relative) const { fs::create_directories(storage_ + relative); }
    void File(const std::string& relative) const { WriteFile(storage_ + relative, "x"); }

    test::TempProgramDir program_;
    const std::string storage_ = program_ / "bak/";
};

// Sets of the item in every form, entries of its differential sets, and the names no backup writes.
TEST_F(RestorePointsTest, TheWholeFolderLayoutListsEachSetOnceAndItsDifferentialEntries) {
    File("2024-01-02/docs_20240102030405.part2.rar");
    File("2024-01-02/docs_20240102030405.part1.rar");
    File("2024-01-02/docs_2024010203040.rar");      // 13 digits
    File("2024-01-02/docs_20240102030406.zip");     // not an archive of the archiver
    File("2024-01-02/other_20240102030407.rar");    // another item
    File("2024-01-02/docs_old.rar");                // no stamp
    Folder("2024-01-03/docs_20240103000000/docs");  // a copied set
    Folder("2024-01-03/docs_20240103000001.partial");
    File("2024-01-03/docs_20240103000002.RAR");
    File("2024-1-002/docs_20240102030408.rar");  // not a dated folder
    Folder("elsewhere/docs");
    fs::create_directory_symlink(storage_ + "elsewhere", storage_ + "2024-01-03/docs_20240103000003");
    File("diff/docs_20240103000000/20240105000000.part1.rar");
    File("diff/docs_20240103000000/20240105000000.part2.rar");
    Folder("diff/docs_20240103000000/20240106000000/docs");
    Folder("diff/docs_20240103000000/20240103000000");  // the copied base's own, empty: the base is the point
    File("diff/docs_20240103000000/2024010600000.rar");
    File("diff/docs_20240102030405/20240104000000.rar");
    File("diff/other_20240102030407/20240107000000.rar");

    std::vector<RestorePoint> points;
    // The source is gone: its name still finds the sets.
    ASSERT_TRUE(CollectRestoreSets(program_ / "gone/docs/", storage_, points));
    EXPECT_EQ(Described(points, storage_),
              (std::vector<std::string>{
                  "2024-01-02/docs_20240102030405.part1.rar|docs|20240102030405",
                  "2024-01-03/docs_20240103000000|docs|20240103000000",
                  "2024-01-03/docs_20240103000002.RAR|docs|20240103000002",
                  "diff/docs_20240102030405/20240104000000.rar|docs|20240104000000",
                  "diff/docs_20240103000000/20240105000000.part1.rar|docs|20240105000000",
                  "diff/docs_20240103000000/20240106000000|docs|20240106000000",
              }));
    EXPECT_FALSE(CollectRestoreSets(program_ / "src/docs", program_ / "missing", points));
    EXPECT_FALSE(CollectRestoreSets("/", storage_, points));
    EXPECT_TRUE(points.empty());
}

// One run of a per-sub-folder task writes a new base for one sub-folder and a differential entry for
// another, all with its stamp: every one is listed under the stamp, each differential by its own set.
TEST_F(RestorePointsTest, ThePerSubfolderLayoutGroupsEverySubfolderByStamp) {
    File("2024-03-01/alpha_20240301010000.rar");
    File("2024-03-01/beta_20240301010000.part1.rar");
    File("2024-03-01/beta_20240301010000.part2.rar");
    File("2024-03-05/gamma_20240305140709.rar");
    File("2024-03-05/notes.txt");
    File("diff/alpha_20240301010000/20240305140709.rar");
    File("diff/beta_20240301010000/20240305140709.part1.rar");
    File("diff/beta_20240301010000/20240305140709.part2.rar");
    File("diff/alpha_20240301010000/20240302010000.rar");
    Folder("diff/unknown_20240301010000/20240303010000");

    RestorePointMap points;
    ASSERT_TRUE(CollectSubfolderRestoreSets(storage_, points));
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(Described(points["20240301010000"], storage_),
              (std::vector<std::string>{"2024-03-01/alpha_20240301010000.rar|alpha|20240301010000",
                                        "2024-03-01/beta_20240301010000.part1.rar|beta|20240301010000"}));
    EXPECT_EQ(
        Described(points["20240302010000"], storage_),
        (std::vector<std::string>{"diff/alpha_20240301010000/20240302010000.rar|alpha|20240302010000"}));
    EXPECT_EQ(
        Described(points["20240305140709"], storage_),
        (std::vector<std::string>{"2024-03-05/gamma_20240305140709.rar|gamma|20240305140709",
                                  "diff/alpha_20240301010000/20240305140709.rar|alpha|20240305140709",
                                  "diff/beta_20240301010000/20240305140709.part1.rar|beta|20240305140709"}));
    EXPECT_FALSE(CollectSubfolderRestoreSets(program_ / "missing", points));
}

TEST_F(RestorePointsTest, AnEntryIsDifferentialWhenItsFolderIsNotDated) {
    EXPECT_FALSE(IsDifferentialEntry(storage_ + "2024-03-01/alpha_20240301010000.rar"));
    EXPECT_FALSE(IsDifferentialEntry(storage_ + "2024-03-01/alpha_20240301010000/"));
    EXPECT_TRUE(IsDifferentialEntry(storage_ + "diff/alpha_20240301010000/20240302010000.rar"));
    EXPECT_TRUE(IsDifferentialEntry(storage_ + "2024-3-01/alpha_20240301010000.rar"));
}

}  // namespace
}  // namespace zov
