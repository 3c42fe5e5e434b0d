#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

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
    CleanCacheFolder();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(std::filesystem::exists(cache + "zovsvc_AAAAA"));

    IniFile(TempIniPath()).Write("Path", "CACHE", cache);
    CleanCacheFolder();
    for (int i = 0; i < 100 && std::filesystem::exists(cache + "zovsvc_bbbbb"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(std::filesystem::exists(cache + "zovsvc_AAAAA"));
    EXPECT_FALSE(std::filesystem::exists(cache + "zovsvc_bbbbb"));
    EXPECT_TRUE(std::filesystem::exists(cache + "zovui_CCCCC/f"));
    EXPECT_TRUE(std::filesystem::exists(cache + "other/f"));
    EXPECT_TRUE(std::filesystem::exists(cache + "zovsvc_file"));
}

}  // namespace
}  // namespace zov
