#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "RarTestSupport.h"
#include "platform/ProcessRunner.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;

// A source tree (3.5 MiB of random data and a small text) and helpers to archive and damage it.
class Sandbox {
  public:
    Sandbox() {
        WriteFile(dir / "source/Data/random.bin", RandomBytes(3 * kMebibyte + kMebibyte / 2, 3));
        WriteFile(dir / "source/Data/small.txt", "small\n");
    }

    std::string operator/(const std::string& relative) const { return dir / relative; }
    std::string source() const { return dir / "source/Data"; }
    std::string destination() const { return dir / "restore"; }

    // Archives the source into store/<name> with the given switches; the first file of the archive.
    std::string Archive(const std::string& name, std::vector<std::string> switches = {}) {
        std::vector<std::string> args{"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul"};
        args.insert(args.end(), switches.begin(), switches.end());
        args.insert(args.end(), {dir / "store/" + name, source()});
        const RarRun run = RunRar(args);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        const std::vector<std::string> files = Files();
        return files.empty() ? std::string() : files.front();
    }

    // The files in store/, full paths, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        for (const std::string& name : FilesStartingWith(dir / "store", ""))
            files.push_back(dir / "store/" + name);
        return files;
    }

    // The index-th file in store/, counted from the end when negative; "" when there is no such file.
    std::string StoreFile(int index) const {
        const std::vector<std::string> files = Files();
        const int size = static_cast<int>(files.size());
        const int at = index < 0 ? size + index : index;
        return at >= 0 && at < size ? files[static_cast<std::size_t>(at)] : std::string();
    }

    static void Truncate(const std::string& path, off_t size) { ASSERT_EQ(truncate(path.c_str(), size), 0); }
    static off_t SizeOf(const std::string& path) {
        return static_cast<off_t>(std::filesystem::file_size(path));
    }
    static void Damage(const std::string& path, off_t offset) {
        std::string bytes = ReadFile(path);
        ASSERT_GE(bytes.size(), static_cast<std::size_t>(offset) + 64) << path;
        for (std::size_t i = 0; i < 64; ++i) bytes[static_cast<std::size_t>(offset) + i] ^= 0x5A;
        WriteFile(path, bytes);
    }

    TempProgramDir dir;
};

struct ExitCase {
    const char* name;
    int code;
    std::function<std::vector<std::string>(Sandbox&)> prepare;  // sets the scene, returns the arguments
    ChildSetup setup{};
    std::function<void(Sandbox&)> check{};  // what must hold afterwards
};

ChildSetup SizeLimited(std::uint64_t bytes) {
    ChildSetup setup;
    setup.fileSizeLimit = bytes;
    return setup;
}

ChildSetup AsNobody() {
    ChildSetup setup;
    setup.asNobody = true;
    return setup;
}

std::vector<std::string> Extract(Sandbox& box, const std::string& archive) {
    return {"x", "-y", "-o+", archive, box.destination()};
}

void NothingRestored(Sandbox& box) {
    if (!std::filesystem::exists(box.destination())) return;
    for (const auto& [path, entry] : ListTree(box.destination())) EXPECT_NE(entry.type, 'f') << path;
}

// A refused password is found before anything is written: not even the destination is made.
void NothingWritten(Sandbox& box) { EXPECT_FALSE(std::filesystem::exists(box.destination())); }

void NoArchive(Sandbox& box) { EXPECT_TRUE(box.Files().empty()); }

// store/two.zip: a small a.txt under the password "right", then the large random.bin under "other" (the
// entries go in name order).
std::vector<std::string> TwoPasswords(Sandbox& box) {
    WriteFile(box / "source/Data/a.txt", "first\n");
    std::filesystem::create_directories(box / "store");
    ProcessOptions options;
    options.workingDir = box / "source";
    options.stdoutPath = options.stderrPath = box / "7z.log";
    options.timeout = std::chrono::minutes(1);
    for (const auto& [password, file] :
         {std::pair{"-pright", "Data/a.txt"}, std::pair{"-pother", "Data/random.bin"}}) {
        EXPECT_TRUE(
            RunProcess({"7z", "a", "-tzip", "-mem=AES256", password, box / "store/two.zip", file}, options)
                .Succeeded())
            << ReadFile(box / "7z.log");
    }
    return {"x", "-y", "-pright", box / "store/two.zip", box.destination()};
}

const ExitCase kCases[] = {
    // 11: passwords
    {"WrongPassword",
     11,
     [](Sandbox& box) {
         return std::vector<std::string>{
             "x", "-y", "-pwrong", "-o+", box.Archive("p.rar", {"-pright"}), box.destination()};
     },
     {},
     NothingWritten},
    // A large entry whose password differs from the first one's ends the run: nothing waits for its keys.
    {"LargeEntryOfAnotherPassword",
     11,
     TwoPasswords,
     {},
     [](Sandbox& box) {
         EXPECT_EQ(ReadFile(box.destination() + "/Data/a.txt"), "first\n");
         EXPECT_FALSE(std::filesystem::exists(box.destination() + "/Data/random.bin"));
     }},
    {"MissingPassword",
     11,
     [](Sandbox& box) { return Extract(box, box.Archive("p.rar", {"-pright"})); },
     {},
     NothingWritten},
    {"TestWithoutPassword", 11,
     [](Sandbox& box) {
         return std::vector<std::string>{"t", "-logf=" + box / "t.log", box.Archive("p.rar", {"-pright"})};
     }},
    // 3: damaged or truncated data
    {"TruncatedLastVolume", 3,
     [](Sandbox& box) {
         const std::string first = box.Archive("v.rar", {"-v1m"});
         const std::string last = box.StoreFile(-1);
         Sandbox::Truncate(last, Sandbox::SizeOf(last) - 5000);
         return Extract(box, first);
     }},
    {"TruncatedMiddleVolume", 3,
     [](Sandbox& box) {
         const std::string first = box.Archive("v.rar", {"-v1m"});
         Sandbox::Truncate(box.StoreFile(1), 500000);
         return Extract(box, first);
     }},
    {"TruncatedArchive", 3,
     [](Sandbox& box) {
         const std::string archive = box.Archive("a.rar");
         Sandbox::Truncate(archive, Sandbox::SizeOf(archive) / 2);
         return Extract(box, archive);
     }},
    {"DamagedData",
     3,
     [](Sandbox& box) {
         const std::string archive = box.Archive("a.rar");
         Sandbox::Damage(archive, Sandbox::SizeOf(archive) / 3);
         return Extract(box, archive);
     },
     {},
     [](Sandbox& box) {
         // The damaged file is not left behind; the intact one is restored.
         EXPECT_FALSE(std::filesystem::exists(box.destination() + "/Data/random.bin"));
         EXPECT_EQ(ReadFile(box.destination() + "/Data/small.txt"), "small\n");
     }},
    {"DamagedEncryptedData", 3,
     [](Sandbox& box) {
         const std::string archive = box.Archive("a.rar", {"-pright"});
         Sandbox::Damage(archive, Sandbox::SizeOf(archive) / 3);
         return std::vector<std::string>{"x", "-y", "-pright", "-o+", archive, box.destination()};
     }},
    {"TestDamagedData", 3,
     [](Sandbox& box) {
         const std::string archive = box.Archive("a.rar");
         Sandbox::Damage(archive, Sandbox::SizeOf(archive) / 3);
         return std::vector<std::string>{"t", "-logf=" + box / "t.log", archive};
     }},
    // 2: missing volumes, not an archive
    {"MissingMiddleVolume",
     2,
     [](Sandbox& box) {
         const std::string first = box.Archive("v.rar", {"-v1m"});
         std::filesystem::remove(box.StoreFile(1));
         return Extract(box, first);
     },
     {},
     NothingRestored},
    {"MissingLastVolume",
     2,
     [](Sandbox& box) {
         const std::string first = box.Archive("v.rar", {"-v1m"});
         std::filesystem::remove(box.StoreFile(-1));
         return Extract(box, first);
     },
     {},
     NothingRestored},
    {"MissingFirstVolume", 2,
     [](Sandbox& box) {
         box.Archive("v.rar", {"-v1m"});
         const std::string second = box.StoreFile(1);
         std::filesystem::remove(box.StoreFile(0));
         return Extract(box, second);
     }},
    {"NotAnArchive", 2,
     [](Sandbox& box) {
         WriteFile(box / "store/text.rar", "just some text, long enough to look for an end record\n");
         return Extract(box, box / "store/text.rar");
     }},
    {"NoSuchArchive", 2, [](Sandbox& box) { return Extract(box, box / "store/none.rar"); }},
    // 7: command line
    {"UnknownSwitch", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"x", "-zz", box / "a.rar", box / "d"};
     }},
    {"UnknownCommand", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"e", box / "a.rar", box / "d"};
     }},
    {"MissingDestination", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"x", "-y", box / "a.rar"};
     }},
    {"ExtraArgument", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"t", box / "a.rar", box / "b"};
     }},
    {"EmptyPassword", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"x", "-p", box / "a.rar", box / "d"};
     }},
    {"ZeroVolumeSize",
     7,
     [](Sandbox& box) {
         return std::vector<std::string>{"a", "-v0m", box / "a.rar", box.source()};
     },
     {},
     NoArchive},
    {"VolumeSizeWithoutUnit", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"a", "-v5", box / "a.rar", box.source()};
     }},
    {"EmptyMask", 7,
     [](Sandbox& box) {
         return std::vector<std::string>{"a", "-x", box / "a.rar", box.source()};
     }},
    {"NoArguments", 7, [](Sandbox&) { return std::vector<std::string>{}; }},
    // 9: cannot create, even for root: a path through a regular file
    {"DestinationThroughAFile", 9,
     [](Sandbox& box) {
         WriteFile(box / "blocker", "x");
         return std::vector<std::string>{"x", "-y", "-o+", box.Archive("a.rar"), box / "blocker/sub"};
     }},
    {"ArchiveThroughAFile", 9,
     [](Sandbox& box) {
         WriteFile(box / "blocker", "x");
         return std::vector<std::string>{"a", "-r", "-ep1", "-inul", box / "blocker/out.rar", box.source()};
     }},
    // 5: write errors (a file size limit makes writes fail with EFBIG)
    // The extraction stops at the first failed write: the file is removed and no entry after it is written.
    {"ExtractWriteError", 5, [](Sandbox& box) { return Extract(box, box.Archive("a.rar")); },
     SizeLimited(kMebibyte),
     [](Sandbox& box) {
         EXPECT_FALSE(std::filesystem::exists(box.destination() + "/Data/random.bin"));
         EXPECT_FALSE(std::filesystem::exists(box.destination() + "/Data/small.txt"));
     }},
    {"EncryptedExtractWriteError", 5,
     [](Sandbox& box) {
         return std::vector<std::string>{"x", "-y", "-pright", box.Archive("p.rar", {"-pright"}),
                                         box.destination()};
     },
     SizeLimited(kMebibyte),
     [](Sandbox& box) {
         EXPECT_FALSE(std::filesystem::exists(box.destination() + "/Data/random.bin"));
         EXPECT_FALSE(std::filesystem::exists(box.destination() + "/Data/small.txt"));
     }},
    {"ArchiveWriteError", 5,
     [](Sandbox& box) {
         return std::vector<std::string>{"a", "-r", "-ep1", "-inul", box / "store/a.rar", box.source()};
     },
     SizeLimited(kMebibyte), [](Sandbox& box) { EXPECT_TRUE(FilesStartingWith(box / "store", "").empty()); }},
    // 10: nothing matched
    {"AddNothingMatches",
     10,
     [](Sandbox& box) {
         return std::vector<std::string>{"a", "-r", "-n*.none", "-ep1", box / "store/a.rar", box.source()};
     },
     {},
     NoArchive},
    {"AddMissingSource",
     10,
     [](Sandbox& box) {
         return std::vector<std::string>{"a", "-r", "-ep1", box / "store/a.rar", box / "source/none"};
     },
     {},
     NoArchive},
    {"ExtractNothingMatches",
     10,
     [](Sandbox& box) {
         return std::vector<std::string>{
             "x", "-y", "-n*.none", "-o+", box.Archive("a.rar"), box.destination()};
     },
     {},
     NothingRestored},
    // 6: a source file that cannot be opened is left out
    {"UnreadableSource", 6,
     [](Sandbox& box) {
         WriteFile(box.source() + "/locked.txt", "locked");
         chmod((box.source() + "/locked.txt").c_str(), 0);
         std::filesystem::create_directories(box / "store");
         chmod((box / "store").c_str(), 0777);
         chmod((box / "").c_str(), 0755);  // the temporary folder is private by default
         return std::vector<std::string>{"a", "-r", "-ep1", "-inul", box / "store/a.rar", box.source()};
     },
     AsNobody(),
     [](Sandbox& box) {
         const TreeListing stored = ListZip(box / "store/a.rar");
         EXPECT_EQ(stored.count("Data/small.txt"), 1u);
         EXPECT_EQ(stored.count("Data/locked.txt"), 0u);
     }},
};

void PrintTo(const ExitCase& exitCase, std::ostream* out) { *out << exitCase.name; }

class RarExitCode : public ::testing::TestWithParam<ExitCase> {};

TEST_P(RarExitCode, ComesFromARealSituation) {
    const ExitCase& param = GetParam();
    Sandbox box;
    const std::vector<std::string> args = param.prepare(box);
    ASSERT_FALSE(::testing::Test::HasFailure());
    const RarRun run = RunRar(args, param.setup);
    EXPECT_EQ(run.exitCode, param.code) << run.output;
    if (param.check) param.check(box);
}

INSTANTIATE_TEST_SUITE_P(Situations, RarExitCode, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zov::test
