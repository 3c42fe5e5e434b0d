#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileLock.h"
#include "platform/IniProfile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

struct WriteOp {
    std::string section;
    std::string key;
    std::string value;
};

struct WriteCase {
    const char* name;
    std::string before;
    std::vector<WriteOp> writes;
    std::string after;
};

TEST(IniProfileTest, WritesFollowProfileRules) {
    const WriteCase cases[] = {
        {"new file gets section and key", "", {{"SYSTEM", "switch", "ON"}}, "[SYSTEM]\nswitch=ON\n"},
        {"names match without case, spelling kept",
         "[System]\nSwitch=ON\n",
         {{"SYSTEM", "switch", "OFF"}},
         "[System]\nSwitch=OFF\n"},
        {"new key goes after the section's last key",
         "[A]\nx=1\n\n[B]\ny=2\n",
         {{"a", "z", "3"}, {"B", "w", "4"}},
         "[A]\nx=1\nz=3\n\n[B]\ny=2\nw=4\n"},
        {"empty value deletes the key", "[A]\nx=1\ny=2\nX=3\n", {{"A", "X", ""}}, "[A]\ny=2\n"},
        {"empty key deletes the section with all its lines",
         "top\n[A]\nx=1\n; note\n[B]\ny=2\n",
         {{"a", "", ""}},
         "top\n[B]\ny=2\n"},
        {"empty key and value delete a section of that name",
         "[RUNNING]\nTIME_1=08:00\n",
         {{"RUNNING", "", ""}},
         ""},
        {"duplicate sections all go", "[A]\nx=1\n[B]\n[a]\nx=2\n", {{"A", "", ""}}, "[B]\n"},
        {"unrelated lines stay as they are",
         "; comment\nfree text\n[A]\n# c\n=orphan\nx=1\n",
         {{"A", "x", "2"}, {"A", "y", "3"}},
         "; comment\nfree text\n[A]\n# c\n=orphan\nx=2\ny=3\n"},
        {"deleting what is missing changes nothing",
         "[A]\nx=1\n",
         {{"A", "q", ""}, {"Q", "", ""}},
         "[A]\nx=1\n"},
        {"line ends of the file are followed",
         "[A]\r\nx=1\r\n",
         {{"A", "y", "2"}, {"B", "z", "3"}},
         "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[A]\nx=1\n", {{"A", "x", "2"}}, "\xEF\xBB\xBF[A]\nx=2\n"},
        {"missing final line end", "[A]\nx=1", {{"A", "y", "2"}}, "[A]\nx=1\ny=2\n"},
        {"UTF-8 names and values", "", {{"节", "键", "值"}}, "[节]\n键=值\n"},
    };
    for (const WriteCase& c : cases) {
        test::TempProgramDir dir;
        const std::string path = dir / "test.ini";
        if (!c.before.empty()) test::WriteFile(path, c.before);
        for (const WriteOp& op : c.writes)
            EXPECT_TRUE(ini::Write(path, op.section, op.key, op.value)) << c.name;
        EXPECT_EQ(test::ReadFile(path), c.after) << c.name;
    }
}

TEST(IniProfileTest, ReadsFollowProfileRules) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.ini";
    test::WriteFile(path,
                    "x=outside\n"
                    "[ Log ] ; trailing text\n"
                    "  Dir =  /var/log/zov/ \t\n"
                    "Empty=\n"
                    "Dir=second\n"
                    "[a]b]\n"
                    "k=bracket\n"
                    "[LOG]\n"
                    "Dir=duplicate section\n"
                    "Other=only here\n");
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"LOG", "dir", "/var/log/zov/"},
        {"log", "DIR", "/var/log/zov/"},
        {"LOG", "Empty", ""},
        {"LOG", "Other", ""},
        {"a]b", "k", "bracket"},
        {"LOG", "", ""},
        {"", "x", ""},
        {"missing", "Dir", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini::Read(path, c.section, c.key), c.value) << c.section << "/" << c.key;
    EXPECT_EQ(ini::Keys(path, "log"), (std::vector<std::string>{"Dir", "Empty", "Dir"}));
    EXPECT_EQ(ini::Read("", "LOG", "Dir"), "");
    EXPECT_EQ(ini::Read(dir / "missing.ini", "LOG", "Dir"), "");
    EXPECT_TRUE(ini::Keys(dir / "missing.ini", "LOG").empty());
}

TEST(IniProfileTest, RefusedWritesLeaveTheFileAlone) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.ini";
    const std::string before = "[A]\nx=1\n";
    test::WriteFile(path, before);
    EXPECT_FALSE(ini::Write("", "A", "x", "2"));
    EXPECT_FALSE(ini::Write(path, "", "x", "2"));
    EXPECT_FALSE(ini::Write(path, "A", "x", "two\nlines"));
    EXPECT_FALSE(ini::Write(path, "A", "x=y", "2"));
    EXPECT_FALSE(ini::Write(path, "A", "[B]", "2"));
    EXPECT_FALSE(ini::Write(path, "A\n[B]", "x", "2"));
    EXPECT_FALSE(ini::Write(path, "A", "  ", "2"));
    EXPECT_FALSE(ini::Update(path, "A", "", [](const std::string&) { return std::string("2"); }));
    EXPECT_FALSE(ini::Update(path, "A", "x", [](const std::string&) { return std::string("a\rb"); }));
    EXPECT_EQ(test::ReadFile(path), before);
    EXPECT_FALSE(ini::Write(dir / "no-folder/test.ini", "A", "x", "1"));
}

TEST(IniProfileTest, UnreadableFileIsNeverReplaced) {
    test::TempProgramDir dir;
    const std::string path = dir / "folder.ini";
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    EXPECT_FALSE(ini::Write(path, "A", "x", "1"));
    EXPECT_TRUE(IsDirectory(path));
}

TEST(IniProfileTest, LongValuesAreCutOnCharacterBoundary) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.ini";
    std::string longValue;
    for (int i = 0; i < 22000; ++i) longValue += "\xE4\xB8\xAD";  // 66,000 bytes
    ASSERT_TRUE(ini::Write(path, "A", "x", longValue));
    std::string read = ini::Read(path, "A", "x");
    EXPECT_EQ(read.size(), 64998u);
    EXPECT_EQ(read, longValue.substr(0, 64998));
    std::string exact(65000, 'a');
    ASSERT_TRUE(ini::Write(path, "A", "y", exact));
    EXPECT_EQ(ini::Read(path, "A", "y"), exact);
}

TEST(IniProfileTest, UpdateAndUpdateSection) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.ini";
    EXPECT_TRUE(ini::Update(path, "A", "x", [](const std::string&) { return std::nullopt; }));
    EXPECT_FALSE(PathExists(path)) << "an untouched file is not created";

    auto append = [](const std::string& current) -> std::optional<std::string> { return current + "+"; };
    EXPECT_TRUE(ini::Update(path, "A", "x", append));
    EXPECT_TRUE(ini::Update(path, "a", "X", append));
    EXPECT_EQ(ini::Read(path, "A", "x"), "++");
    EXPECT_TRUE(ini::Update(path, "A", "x", [](const std::string&) { return std::string(); }));
    EXPECT_EQ(test::ReadFile(path), "[A]\n");

    test::WriteFile(path, "[S]\nDAY=1\n; note\nk=v\n\n[T]\nz=1\n[s]\nk=w\n");
    ini::Entries seen;
    EXPECT_TRUE(
        ini::UpdateSection(path, "s", [&](const ini::Entries& current) -> std::optional<ini::Entries> {
            seen = current;
            return ini::Entries{{"DAY", "2"}, {"gone", ""}, {"n", "m"}};
        }));
    EXPECT_EQ(seen, (ini::Entries{{"DAY", "1"}, {"k", "v"}}));
    EXPECT_EQ(test::ReadFile(path), "[S]\nDAY=2\nn=m\n\n[T]\nz=1\n");
    EXPECT_TRUE(ini::UpdateSection(path, "T", [](const ini::Entries&) { return ini::Entries{}; }));
    EXPECT_TRUE(ini::UpdateSection(path, "U", [](const ini::Entries&) { return ini::Entries{{"a", "b"}}; }));
    EXPECT_EQ(test::ReadFile(path), "[S]\nDAY=2\nn=m\n\n[U]\na=b\n");
}

TEST(IniProfileTest, UpdateValuesChangesSeveralSectionsInOneStep) {
    struct Case {
        const char* name;
        std::function<bool(ini::Values&)> change;
        bool result;
        std::string after;
    };
    const std::string before = "[A]\nx=1\n[B]\ny=2\n";
    const Case cases[] = {
        {"reads one section, writes two",
         [](ini::Values& values) {
             values.Set("b", "Y", values.Get("a", "X") + "+");
             values.Set("C", "z", "3");
             values.Set("A", "x", "");
             return true;
         },
         true, "[A]\n[B]\ny=1+\n[C]\nz=3\n"},
        {"declined changes are not written",
         [](ini::Values& values) {
             values.Set("A", "x", "9");
             return false;
         },
         true, before},
        {"a set that cannot be written spoils the step",
         [](ini::Values& values) {
             values.Set("A", "x", "9");
             values.Set("A", "bad=key", "1");
             return true;
         },
         false, before},
        {"a value with a line break spoils the step",
         [](ini::Values& values) {
             values.Set("B", "y", "a\nb");
             return true;
         },
         false, before},
    };
    for (const Case& c : cases) {
        test::TempProgramDir dir;
        const std::string path = dir / "test.ini";
        test::WriteFile(path, before);
        EXPECT_EQ(ini::UpdateValues(path, c.change), c.result) << c.name;
        EXPECT_EQ(test::ReadFile(path), c.after) << c.name;
    }
}

TEST(IniProfileTest, WriteWaitsForTheExclusiveLock) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.ini";
    ASSERT_TRUE(PrivateRunFolder(dir.path()));
    FileLock holder = FileLock::Acquire(ini::LockPath(path), FileLock::Mode::Shared);
    ASSERT_TRUE(holder.held());
    auto writing = std::async(std::launch::async, [&] { return ini::Write(path, "A", "x", "1"); });
    EXPECT_EQ(writing.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_EQ(ini::Read(path, "A", "x"), "") << "readers share the lock";
    holder.Release();
    EXPECT_TRUE(writing.get());
    EXPECT_EQ(ini::Read(path, "A", "x"), "1");
}

TEST(IniProfileTest, OnePairOfEnclosingQuotesIsDropped) {
    struct Case {
        const char* line;
        const char* value;
    } cases[] = {
        {"k=\"a b\"", "a b"},   {"k='a b'", "a b"},       {"k = \" a \" ", " a "},  {"k=\"\"", ""},
        {"k=\"a\"b\"", "a\"b"}, {"k=\"\"a\"\"", "\"a\""}, {"k=\"", "\""},           {"k=\"a", "\"a"},
        {"k=a\"", "a\""},       {"k=\"a'", "\"a'"},       {"k=a \"b\"", "a \"b\""},
    };
    for (const Case& c : cases) {
        test::TempProgramDir dir;
        const std::string path = dir / "test.ini";
        test::WriteFile(path, std::string("[A]\n") + c.line + "\n");
        EXPECT_EQ(ini::Read(path, "A", "k"), c.value) << c.line;
    }
}

// A file of the given size: a profile followed by a hole.
void WriteSparseProfile(const std::string& path, off_t size) {
    test::WriteFile(path, "[A]\nx=1\n");
    ASSERT_EQ(truncate(path.c_str(), size), 0);
}

long MaxResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(IniProfileTest, FilesAbove16MiBAreRefused) {
    constexpr off_t kLimit = 16 << 20;
    for (off_t size : {kLimit + 1, off_t{200} << 20}) {
        test::TempProgramDir dir;
        const std::string path = dir / "temp.ini";
        WriteSparseProfile(path, size);
        const long before = MaxResidentKiB();
        EXPECT_EQ(ini::TryRead(path, "A", "x"), std::nullopt) << size;
        EXPECT_NE(ini::LastFailure().find("16 MiB"), std::string::npos) << ini::LastFailure();
        EXPECT_EQ(ini::Read(path, "A", "x"), "");
        EXPECT_TRUE(ini::Keys(path, "A").empty());
        EXPECT_FALSE(ini::Write(path, "A", "y", "2"));
        EXPECT_NE(ini::LastFailure().find("16 MiB"), std::string::npos) << ini::LastFailure();
        EXPECT_FALSE(ini::Update(path, "A", "x", [](const std::string&) { return std::string("2"); }));
        EXPECT_LT(MaxResidentKiB() - before, 8 * 1024) << "nothing of the file is held";
        EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(size));
    }
    test::TempProgramDir dir;
    WriteSparseProfile(dir / "temp.ini", kLimit);
    EXPECT_EQ(ini::Read(dir / "temp.ini", "A", "x"), "1");
    EXPECT_EQ(ini::LastFailure(), "");
}

// A lock another process keeps makes calls fail after the bound instead of hanging.
TEST(IniProfileTest, LockHeldElsewhereFailsTheCallsWithinTheBound) {
    test::TempProgramDir dir;
    const std::string path = dir / "temp.ini";
    ASSERT_TRUE(ini::Write(path, "RUNNING", "TIME_1", "08:00"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        FileLock lock = FileLock::Acquire(ini::LockPath(path), FileLock::Mode::Exclusive);
        if (write(ready[1], lock.held() ? "1" : "0", 1) != 1) _exit(1);
        for (;;) pause();
    }
    char held = '0';
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, '1');

    const auto start = std::chrono::steady_clock::now();
    auto reading = std::async(std::launch::async, [&] {
        std::optional<std::string> value = ini::TryRead(path, "RUNNING", "TIME_1");
        return std::make_pair(value, ini::LastFailure());
    });
    EXPECT_FALSE(ini::Write(path, "RUNNING", "TIME_1", "08:00 09:00"));
    const std::string failure = ini::LastFailure();
    const auto [value, readFailure] = reading.get();
    const auto waited = std::chrono::steady_clock::now() - start;
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);

    EXPECT_EQ(value, std::nullopt);
    EXPECT_NE(failure.find(ini::LockPath(path)), std::string::npos) << failure;
    EXPECT_NE(readFailure.find(ini::LockPath(path)), std::string::npos) << readFailure;
    EXPECT_GE(waited, FileLock::kWaitBound);
    EXPECT_LT(waited, FileLock::kWaitBound + std::chrono::seconds(3));
    EXPECT_EQ(ini::Read(path, "RUNNING", "TIME_1"), "08:00");
}

}  // namespace
}  // namespace zov
