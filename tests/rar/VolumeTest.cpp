#include <archive.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

constexpr std::size_t kMebibyte = 1024 * 1024;

std::vector<std::string> Names(const std::string& prefix, int count, int width) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
        std::string number = std::to_string(i);
        number.insert(0, static_cast<std::size_t>(width) - number.size(), '0');
        names.push_back(prefix + ".part" + number + ".rar");
    }
    return names;
}

struct VolumeCase {
    const char* name;
    std::size_t dataBytes;  // random, so the archive is about as large
    int volumeMb;
    std::vector<std::string> expected;
};

const VolumeCase kVolumeCases[] = {
    {"OneVolumeIsStillPartOne", kMebibyte / 2, 1, Names("set", 1, 1)},
    {"FourVolumes", 3 * kMebibyte + kMebibyte / 2, 1, Names("set", 4, 1)},
    {"TwelveVolumesTakeTwoDigits", 11 * kMebibyte + kMebibyte / 2, 1, Names("set", 12, 2)},
    {"LargerVolumes", 5 * kMebibyte, 2, Names("set", 3, 1)},
};

// Test listings and failures show the case by its name.
void PrintTo(const VolumeCase& param, std::ostream* out) { *out << param.name; }

class RarVolumes : public ::testing::TestWithParam<VolumeCase> {};

// Volume names carry the number padded to the width the count needs; every volume but the last is exactly
// the volume size; extraction works from any volume's name.
TEST_P(RarVolumes, AreNamedAndSizedAsTheArchiverNamesThem) {
    const VolumeCase& param = GetParam();
    TempProgramDir dir;
    WriteFile(dir / "source/Data/random.bin", RandomBytes(param.dataBytes, 5));
    const RarRun run = RunRar({"a", "-r", "-v" + std::to_string(param.volumeMb) + "m", "-o+", "-m1", "-y",
                               "-ep1", "-inul", dir / "store/set.rar", dir / "source/Data"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<std::string> files = FilesStartingWith(dir / "store", "");
    ASSERT_EQ(files, param.expected);
    for (std::size_t i = 0; i + 1 < files.size(); ++i) {
        EXPECT_EQ(std::filesystem::file_size(dir / "store/" + files[i]), param.volumeMb * kMebibyte)
            << files[i];
    }
    for (const std::string& start : {files.front(), files.back()}) {
        std::filesystem::remove_all(dir / "restore");
        ASSERT_EQ(RunRar({"x", "-y", "-o+", dir / "store/" + start, dir / "restore"}).exitCode, 0) << start;
        EXPECT_TRUE(SameContent(dir / "source/Data/random.bin", dir / "restore/Data/random.bin")) << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, RarVolumes, ::testing::ValuesIn(kVolumeCases),
                         [](const ::testing::TestParamInfo<VolumeCase>& info) { return info.param.name; });

TEST(RarVolumeStream, ConcatenatedVolumesAreAPlainZipFile) {
    TempProgramDir dir;
    MakeSampleTree(dir / "source/Data");
    ASSERT_EQ(RunRar({"a", "-r", "-v1m", "-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/z.rar",
                      dir / "source/Data"})
                  .exitCode,
              0);
    std::string joined;
    const std::vector<std::string> volumes = FilesStartingWith(dir / "store", "z.part");
    ASSERT_GE(volumes.size(), 4u);
    for (const std::string& volume : volumes) joined += ReadFile(dir / "store/" + volume);
    WriteFile(dir / "joined.zip", joined);

    // libarchive's own reader, as for any ZIP file: the same entries, sizes, modes and times as the source.
    EXPECT_EQ(ListZip(dir / "joined.zip"), ListTree(dir / "source"));
}

TEST(RarVolumeStream, NewSetReplacesAnOlderSetOfTheSameName) {
    TempProgramDir dir;
    WriteFile(dir / "source/Data/random.bin", RandomBytes(3 * kMebibyte + kMebibyte / 2, 9));
    const std::vector<std::string> add{
        "a", "-r", "-v1m", "-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/set.rar", dir / "source/Data"};
    ASSERT_EQ(RunRar(add).exitCode, 0);
    ASSERT_EQ(FilesStartingWith(dir / "store", "").size(), 4u);

    WriteFile(dir / "source/Data/random.bin", "now small");
    ASSERT_EQ(RunRar(add).exitCode, 0);
    EXPECT_EQ(FilesStartingWith(dir / "store", ""), Names("set", 1, 1));
    ASSERT_EQ(RunRar({"x", "-y", "-o+", dir / "store/set.part1.rar", dir / "restore"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "restore/Data/random.bin"), "now small");
}

}  // namespace
}  // namespace zov::test
