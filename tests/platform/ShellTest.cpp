#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "platform/Shell.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::TempProgramDir;
using test::WriteFile;

// A stand-in opener: writes its pid and its argument to files in its folder, then runs the rest of the
// script.
std::string Opener(const TempProgramDir& dir, const std::string& rest) {
    const std::string path = dir / "opener";
    WriteFile(path, "#!/bin/sh\necho $$ > '" + dir / "pid" + "'\nprintf %s \"$1\" > '" + dir / "target" +
                        "'\n" + rest + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

TEST(XdgOpenShell, SaysWhetherTheOpenerOpenedTheTarget) {
    struct Case {
        const char* what;
        const char* script;  // nullptr: no opener at all
        bool opened;
    };
    const Case cases[] = {
        {"missing opener", nullptr, false},
        {"opener reports a failure", "exit 3", false},
        {"opener reports success", "exit 0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        const std::string opener = c.script != nullptr ? Opener(dir, c.script) : dir / "no-opener";
        EXPECT_EQ(XdgOpenShell(opener).Open("/srv/backup folder"), c.opened);
        if (c.script != nullptr) {
            EXPECT_EQ(ReadFile(dir / "target"), "/srv/backup folder");
        }
    }
}

// An opener that waits for the application it started is not waited for, and is not ended either.
TEST(XdgOpenShell, AnOpenerStillRunningHasOpenedAndGoesOn) {
    TempProgramDir dir;
    XdgOpenShell shell(Opener(dir, "exec sleep 30"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(shell.Open("https://example.test/"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    const std::string pid = ReadFile(dir / "pid");
    ASSERT_FALSE(pid.empty());
    const pid_t opener = std::stoi(pid);
    // Still running: not a zombie (its state follows the name in parentheses).
    const std::string stat = ReadFile("/proc/" + std::to_string(opener) + "/stat");
    ASSERT_NE(stat.rfind(')'), std::string::npos);
    EXPECT_NE(stat.substr(stat.rfind(')') + 2, 1), "Z") << stat;
    kill(opener, SIGKILL);
}

TEST(XdgOpenShell, AnEmptyTargetRunsNothing) {
    TempProgramDir dir;
    EXPECT_FALSE(XdgOpenShell(Opener(dir, "exit 0")).Open(""));
    EXPECT_EQ(ReadFile(dir / "target"), "");
}

}  // namespace
}  // namespace zov
