#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "RarTestSupport.h"
#include "platform/ProcessRunner.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

constexpr std::size_t kBlock = 1024 * 1024;  // the archiver's compression block

// Compares every file of the archive, read with Python's zipfile (its CRC check included), with the file
// under root of the same name; the archive holds exactly the files below root.
constexpr const char* kPythonCompare = R"(
import os, sys, zipfile
archive, root = sys.argv[1], sys.argv[2]
expected = set()
for folder, _, files in os.walk(root):
    expected.update(os.path.relpath(os.path.join(folder, f), root) for f in files)
seen = set()
with zipfile.ZipFile(archive) as z:
    for info in z.infolist():
        if info.is_dir():
            continue
        seen.add(info.filename)
        with z.open(info) as member, open(os.path.join(root, info.filename), 'rb') as source:
            while True:
                a, b = member.read(1 << 20), source.read(1 << 20)
                if a != b:
                    sys.exit('differs: ' + info.filename)
                if not a:
                    break
sys.exit(0 if seen == expected else 'other entries: %r' % (seen ^ expected))
)";

// Words, so that the data compresses but not to nothing.
std::string Text(std::size_t length, unsigned seed) {
    static const char* const kWords[] = {"backup ", "archive ", "block ", "stream ", "deflate ", "the ",
                                         "of ",     "folder ",  "file ",  "\n",      "0123 ",    "zone "};
    std::mt19937 random(seed);
    std::string text;
    text.reserve(length + 16);
    while (text.size() < length) text += kWords[random() % std::size(kWords)];
    text.resize(length);
    return text;
}

struct FileSpec {
    const char* name;
    std::size_t size;
    bool random;  // else text
};

struct ThreadsCase {
    const char* name;
    std::vector<FileSpec> files;
    const char* password;  // "" for none
    int volumeMb;          // 0 for one file
};

// More small encrypted entries than one job derives keys for at once, with a large one among them.
std::vector<FileSpec> ManySmallFilesAndALargeOne() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> made;
        for (int i = 0; i < 150; ++i) made.push_back("many/" + std::to_string(i) + ".txt");
        return made;
    }();
    std::vector<FileSpec> files;
    for (std::size_t i = 0; i < names.size(); ++i)
        files.push_back({names[i].c_str(), 1 + i * 37, i % 3 == 0});
    files.push_back({"many/large.bin", 2 * kBlock + 3, true});
    return files;
}

const ThreadsCase kThreadsCases[] = {
    {"EmptyFile", {{"empty", 0, false}, {"small.txt", 100, false}}, "", 0},
    {"ExactlyOneBlock", {{"one.txt", kBlock, false}}, "", 0},
    {"OneByteOverABlock", {{"over.txt", kBlock + 1, false}, {"after.bin", 10, true}}, "", 0},
    {"SmallFilesAroundALargeOne",
     {{"a/1.txt", 4096, false},
      {"a/2.bin", 4096, true},
      {"b/large.bin", 5 * kBlock + kBlock / 2, true},
      {"c/3.txt", 70000, false},
      {"c/4.txt", 3 * kBlock, false}},
     "",
     0},
    {"Encrypted",
     {{"empty", 0, false},
      {"tiny.txt", 10, false},
      {"small.txt", 100, false},
      {"one.txt", kBlock, false},
      {"over.bin", kBlock + 1, true},
      {"large.txt", 3 * kBlock + 77, false}},
     "pw with blanks",
     0},
    {"VolumesCutAcrossBlocks",
     {{"random.bin", 4 * kBlock + 5, true}, {"text.txt", 2 * kBlock, false}},
     "",
     1},
    {"EncryptedManyKeys", ManySmallFilesAndALargeOne(), "many keys", 0},
    {"EncryptedVolumes", {{"random.bin", 4 * kBlock + 5, true}, {"text.txt", 2 * kBlock, false}}, "密码", 1},
};

void PrintTo(const ThreadsCase& param, std::ostream* out) { *out << param.name; }

using ThreadsParam = std::tuple<ThreadsCase, int>;

class RarThreads : public ::testing::TestWithParam<ThreadsParam> {};

// The archive as one file: the single archive, or its volumes joined.
std::string JoinedArchive(const TempProgramDir& dir, const std::string& prefix) {
    const std::vector<std::string> files = FilesStartingWith(dir / "store", prefix);
    if (files.size() == 1) return dir / "store/" + files[0];
    std::string joined;
    for (const std::string& file : files) joined += ReadFile(dir / "store/" + file);
    WriteFile(dir / "joined.zip", joined);
    return dir / "joined.zip";
}

std::vector<std::string> AddCommand(const TempProgramDir& dir, const std::string& password, int volumeMb,
                                    int threads) {
    std::vector<std::string> add{"a", "-r", "-m1", "-ep1", "-inul", "-mt" + std::to_string(threads)};
    if (!password.empty()) add.push_back("-p" + password);
    if (volumeMb > 0) add.push_back("-v" + std::to_string(volumeMb) + "m");
    add.insert(add.end(), {dir / "store/set.rar", dir / "source/Data"});
    return add;
}

// Every file below root has the same content below copy.
void ExpectSameFiles(const std::string& root, const std::string& copy) {
    for (const auto& [path, info] : ListTree(root)) {
        if (info.type == 'f') {
            EXPECT_TRUE(SameContent(root + "/" + path, copy + "/" + path)) << path;
        }
    }
}

// What each reader makes of the archive equals the source: our own extraction, bsdtar, and Python's zipfile
// without a password (it has no AES) or 7z with one (it checks the authentication codes).
void ExpectEveryReaderGetsTheSource(const TempProgramDir& dir, const std::string& password, int threads = 0) {
    std::vector<std::string> extract{"x", "-y"};
    if (threads > 0) extract.push_back("-mt" + std::to_string(threads));
    if (!password.empty()) extract.push_back("-p" + password);
    const std::vector<std::string> archives = FilesStartingWith(dir / "store", "set");
    ASSERT_FALSE(archives.empty());
    extract.insert(extract.end(), {dir / "store/" + archives[archives.size() / 2], dir / "ours"});
    const RarRun ours = RunRar(extract);
    ASSERT_EQ(ours.exitCode, 0) << ours.output;
    ExpectSameTree(dir / "source/Data", dir / "ours/Data");

    const std::string joined = JoinedArchive(dir, "set");
    ProcessOptions options;
    options.stdoutPath = options.stderrPath = dir / "reader.log";
    options.timeout = std::chrono::minutes(5);
    if (password.empty()) {
        const ProcessResult python =
            RunProcess({"python3", "-c", kPythonCompare, joined, dir / "source"}, options);
        EXPECT_TRUE(python.Succeeded()) << ReadFile(dir / "reader.log");
    } else {
        const ProcessResult sevenZip =
            RunProcess({"7z", "x", "-y", "-p" + password, "-o" + dir / "7z", joined}, options);
        ASSERT_TRUE(sevenZip.Succeeded()) << ReadFile(dir / "reader.log");
        ExpectSameFiles(dir / "source/Data", dir / "7z/Data");
    }
    std::filesystem::create_directories(dir / "bsdtar");
    std::vector<std::string> bsdtar{"bsdtar", "-x", "-S", "-f", joined, "-C", dir / "bsdtar"};
    if (!password.empty()) bsdtar.insert(bsdtar.end(), {"--passphrase", password});
    const ProcessResult read = RunProcess(bsdtar, options);
    ASSERT_TRUE(read.Succeeded()) << ReadFile(dir / "reader.log");
    ExpectSameTree(dir / "source/Data", dir / "bsdtar/Data");
}

// Whatever the number of threads, the blocks of a file join into one stream that every reader takes, and
// our own extraction with as many threads gives the source back.
TEST_P(RarThreads, ArchivesExtractByteIdenticallyWithEveryReader) {
    const auto& [param, threads] = GetParam();
    TempProgramDir dir;
    unsigned seed = 1;
    for (const FileSpec& file : param.files) {
        const std::string path = dir / "source/Data/" + file.name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, file.random ? RandomBytes(file.size, seed++) : Text(file.size, seed++));
    }
    const RarRun added = RunRar(AddCommand(dir, param.password, param.volumeMb, threads));
    ASSERT_EQ(added.exitCode, 0) << added.output;
    if (param.volumeMb > 0) {
        ASSERT_GE(FilesStartingWith(dir / "store", "set").size(), 3u);
    }
    ExpectEveryReaderGetsTheSource(dir, param.password, threads);
}

INSTANTIATE_TEST_SUITE_P(Cases, RarThreads,
                         ::testing::Combine(::testing::ValuesIn(kThreadsCases), ::testing::Values(1, 2, 8)),
                         [](const ::testing::TestParamInfo<ThreadsParam>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "Threads";
                         });

#ifndef ZOV_RAR_TESTS_SANITIZED  // deflating 3 GiB is slow under the sanitizers

class RarSparseThreads : public ::testing::TestWithParam<int> {};

// A 3 GiB file that is nearly all hole, with data at its start, across a block boundary, in the middle and
// at its end.
TEST_P(RarSparseThreads, HugeSparseFileComesBackWhole) {
    const int threads = GetParam();
    TempProgramDir dir;
    const std::string path = dir / "source/Data/huge.bin";
    std::filesystem::create_directories(dir / "source/Data");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = off_t{3} << 30;
    ASSERT_EQ(ftruncate(fd, size), 0);
    const std::string mark = "data between holes";
    for (const off_t at : {off_t{0}, off_t{kBlock} - 5, size / 2, size - off_t(mark.size())}) {
        ASSERT_EQ(pwrite(fd, mark.data(), mark.size(), at), static_cast<ssize_t>(mark.size()));
    }
    close(fd);
    const RarRun added = RunRar(AddCommand(dir, "", 0, threads));
    ASSERT_EQ(added.exitCode, 0) << added.output;
    // A fixed number of blocks is in flight: the archiver (like every child before it) stays far below the
    // size of the file.
    struct rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 256 * 1024) << "KiB at the peak";
    ExpectEveryReaderGetsTheSource(dir, "", threads);
}

INSTANTIATE_TEST_SUITE_P(Threads, RarSparseThreads, ::testing::Values(1, 2, 8),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param) + "Threads";
                         });

#endif

struct DamageCase {
    const char* name;
    const char* password;
    const char* command;  // x or t
};

void PrintTo(const DamageCase& param, std::ostream* out) { *out << param.name; }

class RarDamagedBlock : public ::testing::TestWithParam<DamageCase> {};

// One byte changed inside the second block of a large entry: reported as a damaged archive, and nothing
// wrong is left behind.
TEST_P(RarDamagedBlock, IsReportedAndNeverExtractedWrong) {
    const DamageCase& param = GetParam();
    TempProgramDir dir;
    WriteFile(dir / "source/Data/text.txt", Text(4 * kBlock, 3));
    ASSERT_EQ(RunRar(AddCommand(dir, param.password, 0, 8)).exitCode, 0);
    std::string archive = ReadFile(dir / "store/set.rar");
    archive[archive.size() / 2] = static_cast<char>(archive[archive.size() / 2] ^ 0x55);
    WriteFile(dir / "store/set.rar", archive);

    std::vector<std::string> command{param.command, "-y"};
    if (*param.password != '\0') command.push_back(std::string("-p") + param.password);
    command.push_back(dir / "store/set.rar");
    if (std::string(param.command) == "x") command.push_back(dir / "restore");
    const RarRun run = RunRar(command);
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "restore/Data/text.txt"));
}

INSTANTIATE_TEST_SUITE_P(Archives, RarDamagedBlock,
                         ::testing::Values(DamageCase{"PlainExtract", "", "x"},
                                           DamageCase{"PlainTest", "", "t"},
                                           DamageCase{"EncryptedExtract", "pw", "x"},
                                           DamageCase{"EncryptedTest", "pw", "t"}),
                         [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

// Small files are held open by the jobs in flight; a low limit on open files makes fewer of them wait, and
// no file is left out.
TEST(RarOpenFiles, ALowLimitLeavesNoFileOut) {
    TempProgramDir dir;
    for (unsigned i = 0; i < 1000; ++i)
        WriteFile(dir / "source/Data/f" + std::to_string(i), RandomBytes(16384, i));
    ChildSetup setup;
    setup.openFileLimit = 40;
    const RarRun run = RunRar(AddCommand(dir, "", 0, 8), setup);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_EQ(RunRar({"x", "-y", dir / "store/set.rar", dir / "restore"}).exitCode, 0);
    ExpectSameTree(dir / "source/Data", dir / "restore/Data");
}

// The thread count is a number from 1 to 64; anything else is a usage error.
TEST(RarThreadSwitch, AcceptsOnlyACountFromOneToSixtyFour) {
    TempProgramDir dir;
    WriteFile(dir / "source/Data/a.txt", "a");
    const struct {
        const char* sw;
        int exitCode;
    } cases[] = {{"-mt1", 0}, {"-mt64", 0}, {"-mt0", 7}, {"-mt65", 7}, {"-mt", 7}, {"-mtx", 7}, {"-mt2x", 7}};
    for (const auto& c : cases) {
        const RarRun run =
            RunRar({"a", "-r", "-ep1", "-inul", c.sw, dir / "store/t.rar", dir / "source/Data"});
        EXPECT_EQ(run.exitCode, c.exitCode) << c.sw << ": " << run.output;
    }
}

// Writes the folder argv[2] into the ZIP file argv[1] under its own name, entries stored or deflated
// (argv[3]), as Python's zipfile makes them (no Unix modes for folders, DOS times).
constexpr const char* kPythonZip = R"(
import os, sys, zipfile
archive, root, method = sys.argv[1], sys.argv[2], sys.argv[3]
parent = os.path.dirname(root)
with zipfile.ZipFile(archive, 'w', zipfile.ZIP_STORED if method == 'stored' else zipfile.ZIP_DEFLATED) as z:
    for folder, folders, files in os.walk(root):
        z.write(folder, os.path.relpath(folder, parent))
        for name in files:
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, parent))
)";

struct ForeignCase {
    const char* name;
    std::vector<std::string> writer;  // run in the source's parent folder; "@" stands for the archive
    const char* password;
};

void PrintTo(const ForeignCase& param, std::ostream* out) { *out << param.name; }

class RarForeignArchives : public ::testing::TestWithParam<ForeignCase> {};

// Archives of other writers (stored and deflated entries, other extra fields, WinZip AES from another
// implementation) come out whole through our extraction, small entries and a large one alike.
TEST_P(RarForeignArchives, ComeOutWhole) {
    const ForeignCase& param = GetParam();
    TempProgramDir dir;
    WriteFile(dir / "source/Data/large.txt", Text(3 * kBlock + 1234, 21));
    WriteFile(dir / "source/Data/sub/small.txt", Text(700, 22));
    WriteFile(dir / "source/Data/sub/empty", "");
    std::vector<std::string> writer;
    for (const std::string& arg : param.writer) writer.push_back(arg == "@" ? dir / "foreign.zip" : arg);
    ProcessOptions options;
    options.workingDir = dir / "source";
    options.stdoutPath = options.stderrPath = dir / "writer.log";
    options.timeout = std::chrono::minutes(2);
    ASSERT_TRUE(RunProcess(writer, options).Succeeded()) << ReadFile(dir / "writer.log");

    std::vector<std::string> extract{"x", "-y"};
    if (*param.password != '\0') extract.push_back(std::string("-p") + param.password);
    extract.insert(extract.end(), {dir / "foreign.zip", dir / "ours"});
    const RarRun run = RunRar(extract);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ExpectSameFiles(dir / "source/Data", dir / "ours/Data");
    EXPECT_EQ(ListTree(dir / "ours").size(), ListTree(dir / "source").size());
}

INSTANTIATE_TEST_SUITE_P(
    Writers, RarForeignArchives,
    ::testing::Values(
        ForeignCase{"PythonDeflated", {"python3", "-c", kPythonZip, "@", "Data", "deflated"}, ""},
        ForeignCase{"PythonStored", {"python3", "-c", kPythonZip, "@", "Data", "stored"}, ""},
        ForeignCase{"Bsdtar", {"bsdtar", "-c", "--format", "zip", "-f", "@", "Data"}, ""},
        ForeignCase{"SevenZip", {"7z", "a", "-tzip", "@", "Data"}, ""},
        ForeignCase{
            "SevenZipAes", {"7z", "a", "-tzip", "-mem=AES256", "-pfremd pw", "@", "Data"}, "fremd pw"}),
    [](const ::testing::TestParamInfo<ForeignCase>& info) { return info.param.name; });

// -m1 to -m5 go from the fastest to the smallest; each archive reads back with every reader, and any other
// level is a usage error.
TEST(RarLevels, EachLevelIsNoLargerThanTheFasterOneAndReadsBack) {
    TempProgramDir dir;
    WriteFile(dir / "source/Data/text.txt", Text(3 * kBlock + 99, 5));
    WriteFile(dir / "source/Data/small.txt", Text(5000, 6));
    std::uintmax_t previous = 0;
    for (const char* level : {"-m1", "-m2", "-m3", "-m4", "-m5"}) {
        std::filesystem::remove_all(dir / "store");
        std::filesystem::remove_all(dir / "ours");
        std::filesystem::remove_all(dir / "bsdtar");
        std::vector<std::string> add = AddCommand(dir, "", 0, 4);
        add.insert(add.begin() + 1, level);
        const RarRun run = RunRar(add);
        ASSERT_EQ(run.exitCode, 0) << level << ": " << run.output;
        const std::uintmax_t size = std::filesystem::file_size(dir / "store/set.rar");
        if (previous != 0) {
            EXPECT_LE(size, previous) << level;
        }
        previous = size;
        ExpectEveryReaderGetsTheSource(dir, "");
    }
    for (const char* level : {"-m0", "-m6", "-m", "-m12"}) {
        const RarRun run = RunRar({"a", "-r", "-ep1", level, dir / "store/bad.rar", dir / "source/Data"});
        EXPECT_EQ(run.exitCode, 7) << level << ": " << run.output;
    }
}

}  // namespace
}  // namespace zov::test
