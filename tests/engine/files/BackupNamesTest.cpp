#include <gtest/gtest.h>

#include <string>

#include "engine/files/BackupNames.h"

namespace zov {
namespace {

TEST(BackupNamesTest, DatedFolderNames) {
    const struct {
        const char* name;
        bool dated;
    } cases[] = {
        {"2024-03-05", true},  {"1999-12-31", true},  {"2024-3-05", false},  {"2024-1-1", false},
        {"backup", false},     {"2024_03_05", false}, {"2024-03-0a", false}, {"2024-03-051", false},
        {"2024--3-05", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsDatedFolderName(c.name), c.dated) << c.name;
}

TEST(BackupNamesTest, TitlesCutTheVolumeSuffixOnlyAtTheEndBeforeRar) {
    const struct {
        const char* name;
        bool folder;
        const char* title;
    } cases[] = {
        {"Work_20240305140709.rar", false, "Work_20240305140709"},
        {"Work_20240305140709.part1.rar", false, "Work_20240305140709"},
        {"Work_20240305140709.part0001.RAR", false, "Work_20240305140709"},
        {"my.party_20240305140709.rar", false, "my.party_20240305140709"},
        {"my.party_20240305140709.part2.rar", false, "my.party_20240305140709"},
        {"my.party_20240305140709", true, "my.party_20240305140709"},
        {"Work_20240305140709.part1", true, "Work_20240305140709.part1"},
        {"db_20240305140709.sql", false, "db_20240305140709"},
        {"X.partA.rar", false, "X.partA"},
        {".part1.rar", false, ".part1"},
        {"notes", false, "notes"},
    };
    for (const auto& c : cases) EXPECT_EQ(BackupTitle(c.name, c.folder), c.title) << c.name;
}

TEST(BackupNamesTest, VolumeNumbers) {
    const struct {
        const char* name;
        int number;
    } cases[] = {
        {"X.part1.rar", 1},  {"X.part0003.rar", 3}, {"X.PART12.Rar", 12}, {"X.rar", 0},
        {"my.party.rar", 0}, {"X.part2.zip", 0},    {".part1.rar", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(VolumeNumber(c.name), c.number) << c.name;
}

TEST(BackupNamesTest, StampsFollowTheLastUnderscore) {
    const struct {
        const char* title;
        const char* stamp;
    } cases[] = {
        {"Work Files_20240305140709", "20240305140709"},
        {"a_b_20240305140709", "20240305140709"},
        {"_20240305140709", ""},
        {"Work_2024030514070", ""},
        {"Work_20240305140709x", ""},
        {"20240305140709", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(StampOfTitle(c.title), c.stamp) << c.title;
    EXPECT_TRUE(IsStampText("20240305140709"));
    EXPECT_FALSE(IsStampText("2024030514070a"));
}

TEST(BackupNamesTest, DeletionMarkersNameAFile) {
    const struct {
        std::string name;
        bool marker;
        bool isLong;
    } cases[] = {
        {"a.txtqel_temp_del~~~~", true, false},
        {"qel_temp_del~~~~", false, false},
        {"a.txt", false, false},
        {"0123456789abcdef0123456789abcdefqel_long_del~~~~", true, true},
        {"0123456789ABCDEF0123456789abcdefqel_long_del~~~~", false, false},
        {"0123456789abcdef0123456789abcdeqel_long_del~~~~", false, false},
        {"a.txtqel_long_del~~~~", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDeletionMarker(c.name), c.marker) << c.name;
        EXPECT_EQ(IsLongDeletionMarker(c.name), c.isLong) << c.name;
    }
    EXPECT_EQ(MarkedName("a.txtqel_temp_del~~~~"), "a.txt");
}

// A run's work folder names its title and its task; nothing else reads as one.
TEST(BackupNamesTest, WorkFoldersAreKnownByTheirTaskAndStamp) {
    EXPECT_EQ(PartialSetName("20240305140709", 12), "20240305140709.12.partial");
    const struct {
        std::string name;
        std::string stamp;
    } cases[] = {
        {"20240305140709.12.partial", "20240305140709"},
        {"20240305140709.13.partial", ""},
        {"20240305140709.112.partial", ""},
        {"20240305140709.partial", ""},
        {"20240305140709.12.partial.x", ""},
        {"Work Files_20240305140709.12.partial", ""},
        {"2024030514070.12.partial", ""},
        {".12.partial", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(StampOfPartialSet(c.name, 12), c.stamp) << c.name;
}

TEST(BackupNamesTest, TheArchiveFilesOfASetEndInTheirSuffix) {
    const std::string set = "Work Files_20240305140709";
    const struct {
        std::string name;
        std::string suffix;
    } cases[] = {
        {set + ".rar", ".rar"},
        {set + ".part1.rar", ".part1.rar"},
        {set + ".part0012.rar", ".part0012.rar"},
        {set, ""},
        {set + ".part.rar", ""},
        {set + ".partA.rar", ""},
        {set + ".RAR", ""},
        {set + ".rar.a9Zk3Q", ""},
        {set + "1.rar", ""},
        {"x" + set + ".rar", ""},
        {set + ".12.partial", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ArchiveSuffixOfSet(c.name, set), c.suffix) << c.name;
}

}  // namespace
}  // namespace zov
