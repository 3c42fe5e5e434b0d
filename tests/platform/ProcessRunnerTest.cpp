#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/ProcessRunner.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::TempProgramDir;
using test::WriteFile;

ProcessResult Shell(const std::string& script, const ProcessOptions& options = {}) {
    return RunProcess({"sh", "-c", script}, options);
}

// True when the process is gone or a zombie (waiting for its new parent to reap it).
bool IsGone(pid_t pid) {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty()) return true;
    size_t close = stat.rfind(')');
    return close != std::string::npos && stat.compare(close + 2, 1, "Z") == 0;
}

bool BecomesGone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        if (IsGone(pid)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// The pid a script wrote to path (a whole line), once it is there; 0 after 10 s.
pid_t WrittenPid(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        std::string text = ReadFile(path);
        if (text.ends_with("\n")) return std::stoi(text);
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

struct EndCase {
    const char* script;
    int exitCode;
    int signal;
};

TEST(ProcessRunner, ReportsHowTheProgramEnded) {
    const EndCase cases[] = {
        {"exit 0", 0, 0},
        {"exit 1", 1, 0},
        {"exit 10", 10, 0},
        {"exit 255", 255, 0},
        {"kill -TERM $$", -1, SIGTERM},
        {"kill -KILL $$", -1, SIGKILL},
    };
    for (const EndCase& c : cases) {
        ProcessResult result = Shell(c.script);
        EXPECT_TRUE(result.started) << c.script;
        EXPECT_FALSE(result.timedOut) << c.script;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.script;
        EXPECT_EQ(result.signal, c.signal) << c.script;
        EXPECT_EQ(result.Succeeded(), c.exitCode == 0) << c.script;
    }
}

TEST(ProcessRunner, ProgramsThatCannotStartAreReported) {
    TempProgramDir dir;
    WriteFile(dir / "plain.txt", "not a program\n");
    std::filesystem::create_directories(dir / "folder");
    struct Case {
        std::vector<std::string> argv;
        int error;
    };
    const Case cases[] = {
        {{dir / "missing"}, ENOENT},
        {{"zov-no-such-program-on-path"}, ENOENT},
        {{dir / "plain.txt"}, EACCES},
        {{dir / "folder"}, EACCES},
        {{}, EINVAL},
    };
    for (const Case& c : cases) {
        ProcessResult result = RunProcess(c.argv);
        EXPECT_FALSE(result.started) << (c.argv.empty() ? "" : c.argv[0]);
        EXPECT_EQ(result.startError, c.error) << (c.argv.empty() ? "" : c.argv[0]);
        EXPECT_FALSE(result.Succeeded());
    }
}

TEST(ProcessRunner, UnusableOptionsMeanNotStarted) {
    TempProgramDir dir;
    ProcessOptions badStdin;
    badStdin.stdinPath = dir / "missing-input";
    ProcessOptions badStdout;
    badStdout.stdoutPath = dir / "no-folder/out.txt";
    ProcessOptions badDir;
    badDir.workingDir = dir / "no-folder";
    for (const ProcessOptions* options : {&badStdin, &badStdout, &badDir}) {
        ProcessResult result = RunProcess({"true"}, *options);
        EXPECT_FALSE(result.started);
        EXPECT_EQ(result.startError, ENOENT);
    }
}

TEST(ProcessRunner, RedirectsStandardStreams) {
    TempProgramDir dir;
    WriteFile(dir / "in.txt", "line one\nline two\n");

    ProcessOptions fromFile;
    fromFile.stdinPath = dir / "in.txt";
    fromFile.stdoutPath = dir / "copy.txt";
    ASSERT_TRUE(RunProcess({"cat"}, fromFile).Succeeded());
    EXPECT_EQ(ReadFile(dir / "copy.txt"), "line one\nline two\n");

    ProcessOptions noInput;
    noInput.stdoutPath = dir / "empty.txt";
    noInput.timeout = 10s;
    ProcessResult result = RunProcess({"cat"}, noInput);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(ReadFile(dir / "empty.txt"), "");

    ProcessOptions together;
    together.stdoutPath = dir / "both.txt";
    together.stderrPath = dir / "both.txt";
    ASSERT_TRUE(Shell("echo out; echo err >&2; echo out2", together).Succeeded());
    EXPECT_EQ(ReadFile(dir / "both.txt"), "out\nerr\nout2\n");

    ProcessOptions apart;
    apart.stdoutPath = dir / "out.txt";
    apart.stderrPath = dir / "err.txt";
    ASSERT_TRUE(Shell("echo out; echo err >&2", apart).Succeeded());
    EXPECT_EQ(ReadFile(dir / "out.txt"), "out\n");
    EXPECT_EQ(ReadFile(dir / "err.txt"), "err\n");

    ASSERT_TRUE(Shell("echo again", apart).Succeeded());
    EXPECT_EQ(ReadFile(dir / "out.txt"), "again\n");
    apart.appendOutput = true;
    ASSERT_TRUE(Shell("echo more", apart).Succeeded());
    EXPECT_EQ(ReadFile(dir / "out.txt"), "again\nmore\n");
}

// A descriptor the caller opened is the program's standard input: what it reads is the open file, not
// what its path names by then.
TEST(ProcessRunner, StandardInputFromADescriptor) {
    TempProgramDir dir;
    WriteFile(dir / "in.txt", "opened\n");
    const int fd = open((dir / "in.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::filesystem::remove(dir / "in.txt");
    WriteFile(dir / "in.txt", "swapped\n");
    ProcessOptions options;
    options.stdinFd = fd;
    options.stdinPath = dir / "in.txt";
    options.stdoutPath = dir / "copy.txt";
    ASSERT_TRUE(RunProcess({"cat"}, options).Succeeded());
    EXPECT_EQ(ReadFile(dir / "copy.txt"), "opened\n");
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 7);
    close(fd);
}

// The idle time-out ends a program that neither reads its input nor writes, however long its total
// time-out; a program that keeps reading or writing runs on.
TEST(ProcessRunner, IdleTimeOutEndsOnlyAProgramThatStalls) {
    struct Case {
        std::string what, script;
        bool idle;
    };
    const Case cases[] = {
        {"silent", "sleep 30", true},
        {"stalls after output", "echo started; sleep 30", true},
        {"keeps writing", "for i in 1 2 3 4 5 6; do echo $i; sleep 0.2; done", false},
        {"keeps reading", "for i in 1 2 3 4 5 6; do read line; sleep 0.2; done", false},
        {"keeps writing errors", "for i in 1 2 3 4 5 6; do echo $i >&2; sleep 0.2; done", false},
    };
    TempProgramDir dir;
    WriteFile(dir / "in.txt", "1\n2\n3\n4\n5\n6\n");
    for (const Case& c : cases) {
        const int fd = open((dir / "in.txt").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ProcessOptions options;
        options.stdinFd = fd;
        options.stdoutPath = dir / "out.txt";
        options.stderrPath = dir / "err.txt";
        options.timeout = 60s;
        options.idleTimeout = 700ms;
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult result = Shell(c.script, options);
        const auto took = std::chrono::steady_clock::now() - start;
        close(fd);
        EXPECT_EQ(result.idle, c.idle) << c.what;
        EXPECT_EQ(result.timedOut, c.idle) << c.what;
        EXPECT_EQ(result.Succeeded(), !c.idle) << c.what;
        EXPECT_LT(took, 5s) << c.what;
    }
}

// Run from a process whose controlling terminal is a pseudo-terminal, a program cannot open /dev/tty: it
// can never stop to ask the terminal for anything (a password).
TEST(ProcessRunner, ProgramsHaveNoTerminal) {
    TempProgramDir dir;
    const std::string output = dir / "tty.txt";
    const pid_t child = fork();
    if (child == 0) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || setsid() < 0) _exit(2);
        const int terminal = open(ptsname(master), O_RDWR);  // the session's controlling terminal
        if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0) _exit(3);
        ProcessOptions options;
        options.stdoutPath = output;
        options.timeout = 10s;
        RunProcess({"sh", "-c", "if (: </dev/tty) 2>/dev/null; then echo terminal; else echo none; fi"},
                   options);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(output), "none\n");
}

TEST(ProcessRunner, EnvironmentAndWorkingFolder) {
    TempProgramDir dir;
    setenv("ZOV_RUNNER_KEPT", "kept", 1);
    setenv("ZOV_RUNNER_REPLACED", "old", 1);
    ProcessOptions options;
    options.stdoutPath = dir / "env.txt";
    options.extraEnv = {"ZOV_RUNNER_ADDED=added value", "ZOV_RUNNER_REPLACED=new"};
    options.workingDir = dir.path();
    ASSERT_TRUE(Shell("echo \"$ZOV_RUNNER_KEPT|$ZOV_RUNNER_ADDED|$ZOV_RUNNER_REPLACED\"; pwd -P", options)
                    .Succeeded());
    std::string here = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(ReadFile(dir / "env.txt"), "kept|added value|new\n" + here + "\n");
    unsetenv("ZOV_RUNNER_KEPT");
    unsetenv("ZOV_RUNNER_REPLACED");
}

TEST(ProcessRunner, OnlyStandardDescriptorsReachTheChild) {
    TempProgramDir dir;
    WriteFile(dir / "held.txt", "x");
    int leaky = open((dir / "held.txt").c_str(), O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaky, 0);
    ProcessOptions options;
    options.stdoutPath = dir / "fds.txt";
    ASSERT_TRUE(Shell("ls /proc/$$/fd", options).Succeeded());
    close(leaky);
    EXPECT_EQ(ReadFile(dir / "fds.txt"), "0\n1\n2\n");
}

TEST(ProcessRunner, TimeOutKillsTheWholeGroup) {
    TempProgramDir dir;
    ProcessOptions options;
    options.timeout = 300ms;
    auto start = std::chrono::steady_clock::now();
    ProcessResult result = Shell("sleep 100 & echo $! > '" + (dir / "grandchild.pid") + "'; wait", options);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.signal, SIGTERM);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_LT(elapsed, 5s);
    pid_t grandchild = std::stoi(ReadFile(dir / "grandchild.pid"));
    EXPECT_TRUE(BecomesGone(grandchild));
}

TEST(ProcessRunner, TimeOutEscalatesWhenTermIsIgnored) {
    TempProgramDir dir;
    ProcessOptions options;
    options.timeout = 200ms;
    ProcessResult result = Shell(
        "trap '' TERM; sleep 100 & echo $! > '" + (dir / "grandchild.pid") + "'; while :; do sleep 1; done",
        options);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.signal, SIGKILL);
    EXPECT_TRUE(BecomesGone(std::stoi(ReadFile(dir / "grandchild.pid"))));
}

TEST(ProcessRunner, ChildDoesNotInheritBlockedOrIgnoredSignals) {
    sigset_t term, previous;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &term, &previous);
    auto oldPipe = signal(SIGPIPE, SIG_IGN);

    ProcessResult killed = Shell("kill -TERM $$; sleep 5");
    ProcessResult piped = Shell("yes | head -n 1 >/dev/null; kill -PIPE $$");

    signal(SIGPIPE, oldPipe);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    EXPECT_EQ(killed.signal, SIGTERM);
    EXPECT_EQ(piped.signal, SIGPIPE);
}

TEST(ProcessRunner, FinishedProgramIsNotKilled) {
    ProcessOptions options;
    options.timeout = 10s;
    auto start = std::chrono::steady_clock::now();
    ProcessResult result = Shell("exit 3", options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 3);
}

TEST(ProcessRunner, ConcurrentRunsKeepTheirOwnResults) {
    TempProgramDir dir;
    constexpr int kThreads = 8;
    std::vector<ProcessResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ProcessOptions options;
            options.stdoutPath = dir / ("out" + std::to_string(i));
            options.timeout = i == 0 ? 200ms : 20s;
            std::string script = i == 0 ? "sleep 100"
                                        : "for n in 1 2 3 4 5; do echo " + std::to_string(i) +
                                              "; done; exit " + std::to_string(i);
            for (int round = 0; round < 5; ++round) results[i] = Shell(script, options);
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_TRUE(results[0].timedOut);
    for (int i = 1; i < kThreads; ++i) {
        EXPECT_FALSE(results[i].timedOut) << i;
        EXPECT_EQ(results[i].exitCode, i);
        std::string line = std::to_string(i) + "\n";
        EXPECT_EQ(ReadFile(dir / ("out" + std::to_string(i))), line + line + line + line + line);
    }
}

struct StopCase {
    const char* what;
    const char* script;  // writes the grandchild's pid to the file named by $1
    bool withTimeout;
    int signal;
};

// A neighbour run on another thread waits for the file "go" the whole time: the stop of one run leaves it.
TEST(ProcessRunner, AStopEndsTheGroupOfItsOwnRunOnly) {
    const StopCase cases[] = {
        {"group ends on SIGTERM", "sleep 100 & echo $! > \"$1\"; wait", false, SIGTERM},
        {"same, bounded wait", "sleep 100 & echo $! > \"$1\"; wait", true, SIGTERM},
        {"grandchild ignores SIGTERM", "(trap '' TERM; exec sleep 100) & echo $! > \"$1\"; wait", false,
         SIGTERM},
        {"everything ignores SIGTERM",
         "trap '' TERM; sleep 100 & echo $! > \"$1\"; while :; do sleep 1; done", false, SIGKILL},
    };
    for (const StopCase& c : cases) {
        TempProgramDir dir;
        std::stop_source stop;
        ProcessOptions options;
        options.stop = stop.get_token();
        options.killGrace = 300ms;
        if (c.withTimeout) options.timeout = 100s;
        ProcessResult result;
        std::chrono::steady_clock::time_point returned;
        std::thread runner([&] {
            result = RunProcess({"sh", "-c", c.script, "sh", dir / "grandchild.pid"}, options);
            returned = std::chrono::steady_clock::now();
        });
        std::stop_source neighbourStop;
        ProcessOptions neighbourOptions;
        neighbourOptions.stop = neighbourStop.get_token();
        neighbourOptions.timeout = 20s;
        ProcessResult neighbour;
        std::thread second([&] {
            neighbour = Shell("echo $$ > '" + dir / "neighbour.pid" + "'; while [ ! -e '" + dir / "go" +
                                  "' ]; do sleep 0.05; done; exit 4",
                              neighbourOptions);
        });
        const pid_t grandchild = WrittenPid(dir / "grandchild.pid");
        const pid_t neighbourPid = WrittenPid(dir / "neighbour.pid");
        const auto start = std::chrono::steady_clock::now();
        stop.request_stop();
        runner.join();
        EXPECT_FALSE(IsGone(neighbourPid)) << c.what;
        WriteFile(dir / "go", "");
        second.join();
        EXPECT_LT(returned - start, 1s) << c.what;
        EXPECT_TRUE(result.started) << c.what;
        EXPECT_TRUE(result.stopped) << c.what;
        EXPECT_FALSE(result.timedOut) << c.what;
        EXPECT_EQ(result.signal, c.signal) << c.what;
        EXPECT_FALSE(result.Succeeded()) << c.what;
        ASSERT_GT(grandchild, 0) << c.what;
        EXPECT_TRUE(BecomesGone(grandchild)) << c.what;
        EXPECT_FALSE(neighbour.stopped) << c.what;
        EXPECT_EQ(neighbour.exitCode, 4) << c.what;
    }
}

TEST(ProcessRunner, NothingStartsOnceTheStopWasRequested) {
    TempProgramDir dir;
    std::stop_source stop;
    stop.request_stop();
    ProcessOptions options;
    options.stop = stop.get_token();
    ProcessResult result = Shell("echo ran > '" + dir / "ran" + "'", options);
    EXPECT_FALSE(result.started);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.startError, ECANCELED);
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
}

TEST(ProcessRunner, ProgramEndsWhenTheProcessThatRanItIsKilled) {
    TempProgramDir dir;
    const std::string pidFile = dir / "program.pid";
    pid_t runner = fork();
    ASSERT_GE(runner, 0);
    if (runner == 0) {
        RunProcess({"sh", "-c", "echo $$ > \"$1\"; exec sleep 60", "sh", pidFile});
        _exit(0);
    }
    const pid_t program = WrittenPid(pidFile);
    kill(runner, SIGKILL);
    ASSERT_EQ(waitpid(runner, nullptr, 0), runner);
    ASSERT_GT(program, 0);
    EXPECT_TRUE(BecomesGone(program));
    if (!IsGone(program)) kill(program, SIGKILL);
}

}  // namespace
}  // namespace zov
