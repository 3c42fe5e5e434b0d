#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <stop_token>

#include "engine/files/CacheFolder.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

bool IsTokenCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void ExpectTempPathUnder(const std::string& path, const std::string& base) {
    ASSERT_EQ(path.size(), base.size() + 5) << path;
    EXPECT_EQ(path.substr(0, base.size()), base);
    for (char c : path.substr(base.size())) EXPECT_TRUE(IsTokenCharacter(c)) << path;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(CacheFolder, MakeCacheTempPathUsesConfiguredOrDefaultFolder) {
    test::TempProgramDir program;
    const IniFile temp(TempIniPath());

    ExpectTempPathUnder(MakeCacheTempPath(), program / "cache/zovsvc_");

    std::filesystem::create_directories(program / "mycache");
    temp.Write("Path", "CACHE", program / "mycache");
    ExpectTempPathUnder(MakeCacheTempPath(), program / "mycache/zovsvc_");

    temp.Write("Path", "CACHE", program / "not-a-folder");
    ExpectTempPathUnder(MakeCacheTempPath(), program / "cache/zovsvc_");

    SetTempFolderPrefix(kInterfaceTempPrefix);
    ExpectTempPathUnder(MakeCacheTempPath(), program / "cache/zovui_");
    SetTempFolderPrefix(kServiceTempPrefix);
}

TEST(CacheFolder, PathsAreDistinct) {
    test::TempProgramDir program;
    std::set<std::string> paths;
    for (int i = 0; i < 300; ++i) paths.insert(MakeCacheTempPath());
    EXPECT_EQ(paths.size(), 300u);
}

TEST(CacheFolder, ListAndCleanTouchOnlyThisProgramsFolders) {
    test::TempProgramDir program;
    const std::string cache = program / "cache/";
    for (const char* name : {"zovsvc_AAAAA/sub/f", "zovsvc_bbbbb/f", "zovui_CCCCC/f", "other/f"}) {
        test::WriteFile(cache + name, "x");
    }
    test::WriteFile(cache + "zovsvc_file", "x");

    std::vector<std::string> folders{"stale"};
    ListCacheFolders(cache, folders);
    EXPECT_EQ(folders, (std::vector<std::string>{cache + "zovsvc_AAAAA", cache + "zovsvc_bbbbb"}));

    // Without a configured cache folder nothing is cleaned.
    EXPECT_TRUE(CacheLeftovers().empty());
    CleanCacheFolder();
    EXPECT_TRUE(std::filesystem::exists(cache + "zovsvc_AAAAA"));

    IniFile(TempIniPath()).Write("Path", "CACHE", cache);
    EXPECT_EQ(CacheLeftovers(), folders);
    CleanCacheFolder();
    EXPECT_FALSE(std::filesystem::exists(cache + "zovsvc_AAAAA"));
    EXPECT_FALSE(std::filesystem::exists(cache + "zovsvc_bbbbb"));
    EXPECT_TRUE(std::filesystem::exists(cache + "zovui_CCCCC/f"));
    EXPECT_TRUE(std::filesystem::exists(cache + "other/f"));
    EXPECT_TRUE(std::filesystem::exists(cache + "zovsvc_file"));
}

TEST(CacheFolder, DeletionStopsBetweenFoldersOnceAStopIsRequested) {
    test::TempProgramDir program;
    const std::string cache = program / "cache/";
    for (const char* name : {"zovsvc_AAAAA/f", "zovsvc_BBBBB/f"}) test::WriteFile(cache + name, "x");
    IniFile(TempIniPath()).Write("Path", "CACHE", cache);
    const std::vector<std::string> leftovers = CacheLeftovers();
    ASSERT_EQ(leftovers.size(), 2u);

    std::stop_source stop;
    stop.request_stop();
    DeleteCacheLeftovers(leftovers, stop.get_token());
    for (const std::string& folder : leftovers) EXPECT_TRUE(std::filesystem::exists(folder)) << folder;

    DeleteCacheLeftovers(leftovers, std::stop_source().get_token());
    for (const std::string& folder : leftovers) EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

}  // namespace
}  // namespace zov
