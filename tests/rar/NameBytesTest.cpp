#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

std::uint32_t Little(const std::string& bytes, std::size_t at, int length) {
    std::uint32_t value = 0;
    for (int i = length - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Entry name -> general purpose flags, from the central directory of a small ZIP file.
std::map<std::string, std::uint32_t> CentralFlags(const std::string& file) {
    const std::string bytes = ReadFile(file);
    std::map<std::string, std::uint32_t> flags;
    const std::size_t end = bytes.rfind(std::string("PK\5\6", 4));
    if (end == std::string::npos || end + 22 > bytes.size()) return flags;
    for (std::size_t at = Little(bytes, end + 16, 4);
         at + 46 <= end && bytes.compare(at, 4, "PK\1\2") == 0;) {
        const std::size_t nameLength = Little(bytes, at + 28, 2);
        flags[bytes.substr(at + 46, nameLength)] = Little(bytes, at + 8, 2);
        at += 46 + nameLength + Little(bytes, at + 30, 2) + Little(bytes, at + 32, 2);
    }
    return flags;
}

constexpr std::uint32_t kUtf8Flag = 0x800;

// Names in a legacy code page are not UTF-8: they are stored and restored as they are, never merged into
// one replacement name; UTF-8 names keep the UTF-8 mark that other tools read.
TEST(RarNames, BytesThatAreNotUtf8ComeBackUnchanged) {
    TempProgramDir dir;
    const std::string source = dir / "source/Data";
    WriteFile(source + "/caf\xE9.txt", "latin-1 e acute");
    WriteFile(source + "/caf\xE8.txt", "latin-1 e grave");
    WriteFile(source + "/\xD6\xD0\xCE\xC4/gbk.txt", "a folder named in GBK");
    WriteFile(source + "/中文.txt", "utf-8");
    const RarRun added =
        RunRar({"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/n.rar", source});
    ASSERT_EQ(added.exitCode, 0) << added.output;

    const std::map<std::string, std::uint32_t> flags = CentralFlags(dir / "store/n.rar");
    ASSERT_EQ(flags.count("Data/中文.txt"), 1u);
    EXPECT_NE(flags.at("Data/中文.txt") & kUtf8Flag, 0u);
    ASSERT_EQ(flags.count("Data/caf\xE9.txt"), 1u);
    EXPECT_EQ(flags.at("Data/caf\xE9.txt") & kUtf8Flag, 0u);

    const RarRun extracted = RunRar({"x", "-y", "-o+", dir / "store/n.rar", dir / "restore"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
    ExpectSameTree(source, dir / "restore/Data");
}

}  // namespace
}  // namespace zov::test
