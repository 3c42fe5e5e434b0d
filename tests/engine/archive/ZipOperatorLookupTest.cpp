#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/archive/ZipOperator.h"
#include "engine/files/BackupNames.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::TempProgramDir;
using test::WriteFile;

TEST(ZipOperatorLookup, RarPathFromTempIniThenProgramFolder) {
    struct Case {
        const char* name;
        std::string tempIni;  // "" writes no temp.ini
        bool bundled;         // the program folder holds "rar"
        std::string expected;
    };
    TempProgramDir dir;
    WriteFile(dir / "tools/rar", "");
    const Case cases[] = {
        {"configured", "[SYSTEM]\nrar_path=" + (dir / "tools/rar") + "\n", true, dir / "tools/rar"},
        {"configured path missing", "[system]\nRAR_PATH=" + (dir / "gone/rar") + "\n", true, dir / "rar"},
        {"configured folder", "[SYSTEM]\nrar_path=" + (dir / "tools") + "\n", true, dir / "rar"},
        {"key empty", "[SYSTEM]\nother=1\n", true, dir / "rar"},
        {"no temp.ini", "", true, dir / "rar"},
        {"nothing", "[SYSTEM]\nrar_path=" + (dir / "gone/rar") + "\n", false, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir / "temp.ini");
        std::filesystem::remove(dir / "rar");
        if (!c.tempIni.empty()) WriteFile(dir / "temp.ini", c.tempIni);
        if (c.bundled) WriteFile(dir / "rar", "");
        EXPECT_EQ(GetRarPath(), c.expected) << c.name;
    }
}

TEST(ZipOperatorLookup, FirstVolumeOfAnArchive) {
    struct Case {
        std::vector<std::string> files;
        std::string expected;
    };
    const Case cases[] = {
        {{}, "set.rar"},
        {{"set.rar"}, "set.rar"},
        {{"set.part1.rar", "set.part2.rar"}, "set.part1.rar"},
        {{"set.part01.rar", "set.part02.rar"}, "set.part01.rar"},
        {{"set.part001.rar"}, "set.part001.rar"},
        {{"set.part0001.rar"}, "set.part0001.rar"},
        {{"set.part2.rar", "set.part00001.rar"}, "set.rar"},
        {{"set.rar", "set.part1.rar"}, "set.rar"},
    };
    for (const Case& c : cases) {
        TempProgramDir dir;
        for (const std::string& file : c.files) WriteFile(dir / file, "x");
        EXPECT_EQ(FindVolumeName(dir / "set"), dir / c.expected) << c.expected;
    }
}

}  // namespace
}  // namespace zov
