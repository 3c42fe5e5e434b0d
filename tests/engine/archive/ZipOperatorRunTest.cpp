#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "ZipOperatorTestSupport.h"
#include "engine/archive/ZipOperator.h"

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::FakeRarTest;
using test::ReadFile;
using test::WriteFile;

const std::vector<std::string> kTestArgs{"t", "-logf=/tmp/test log.txt", "/backup/a.rar"};
const std::string kPrefix = "使用winrar时发生内部错误(命令：t \"-logf=/tmp/test log.txt\" /backup/a.rar)：";

struct ExitCase {
    int code;
    bool success;
    std::string message;
};

using ZipOperatorRun = FakeRarTest;

TEST_F(ZipOperatorRun, ExitCodesGiveResultAndMessage) {
    const ExitCase cases[] = {
        {0, true, ""},
        {1, true, kPrefix + "警告,非致命错误\n"},
        {2, false, kPrefix + "警告,致命错误\n"},
        {3, false, kPrefix + "校验和无效,压缩文件已经损坏\n"},
        {4, false, kPrefix + "尝试修改一个锁定的压缩文件\n"},
        {5, false, kPrefix + "发生写错误\n"},
        {6, true, "警告：文件打开错误，一个或多个文件未压缩。\n"},
        {7, false, kPrefix + "命令行选项错误\n"},
        {8, false, kPrefix + "内存不足\n"},
        {9, false, kPrefix + "文件创建错误\n"},
        {10, true, "警告：没有找到与指定掩码和选项匹配的文件。一个或多个文件未压缩。\n"},
        {11, false, kPrefix + "密码错误\n"},
        {12, false, kPrefix},
        {255, false, kPrefix + "用户中断\n"},
    };
    for (const ExitCase& c : cases) {
        CZipOperator zip(FakeRar());
        SetExitCode(1);
        zip.RunRar(kTestArgs);  // leaves a warning the next run must replace
        SetExitCode(c.code);
        EXPECT_EQ(zip.RunRar(kTestArgs), c.success) << c.code;
        EXPECT_EQ(zip.message(), c.message) << c.code;
        EXPECT_EQ(zip.lastCode(), c.code);
    }
}

TEST_F(ZipOperatorRun, ArchiverGetsTheVectorAndNoInput) {
    CZipOperator zip(FakeRar());
    ASSERT_TRUE(zip.RunRar(kTestArgs));
    EXPECT_EQ(RecordedArgs(), kTestArgs);
    EXPECT_EQ(Recorded("stdin"), "/dev/null\n");
}

TEST_F(ZipOperatorRun, PasswordNeverAppearsInMessages) {
    std::string storage = dir_ / "out/";
    WriteFile(dir_ / "src/a.txt", "a");
    SetExitCode(2);
    CZipOperator zip(FakeRar());
    EXPECT_FALSE(zip.CompressFolder(dir_ / "src/", storage, "top secret\"pw", "set", 10));
    EXPECT_NE(zip.message().find("a -r -v10m -o+ -m1 -y -ep1 -inul -- " + storage + "set.rar"),
              std::string::npos)
        << zip.message();
    EXPECT_EQ(zip.message().find("secret"), std::string::npos);
    EXPECT_EQ(Recorded("args").find("secret"), std::string::npos);
    EXPECT_EQ(Recorded("rar_env"), "-ptop secret\"pw\n");

    EXPECT_NE(zip.ExtractFile(storage + "set.rar", dir_ / "restore", "top secret\"pw"), 0);
    EXPECT_EQ(zip.message().find("secret"), std::string::npos);
    EXPECT_EQ(Recorded("args").find("secret"), std::string::npos);

    // A password switch handed in by a caller is still masked.
    EXPECT_FALSE(zip.RunRar({"t", "-psecret", "--", storage + "set.rar"}));
    EXPECT_EQ(zip.message().find("secret"), std::string::npos);
}

// The archiver runs as root with the archive password: one that another user could change is never run.
TEST_F(ZipOperatorRun, ArchiverThatIsMissingUntrustedOrCannotStart) {
    WriteFile(dir_ / "plain/rar", "not a program");
    WriteFile(dir_ / "badshell/rar", "#!/no/such/shell\n");
    chmod((dir_ / "badshell/rar").c_str(), 0755);
    const std::string planted = "#!/bin/sh\ntouch " + (dir_ / "ran") + "\n";
    for (const char* rar :
         {"theirs/rar", "open/rar", "group/rar", "open-folder/rar", "under-theirs/bin/rar"}) {
        WriteFile(dir_ / rar, planted);
        chmod((dir_ / rar).c_str(), 0755);
    }
    chown((dir_ / "theirs/rar").c_str(), 65534, 65534);
    chmod((dir_ / "open/rar").c_str(), 0757);
    chmod((dir_ / "group/rar").c_str(), 0775);
    chmod((dir_ / "open-folder").c_str(), 0777);
    chown((dir_ / "under-theirs").c_str(), 65534, 65534);
    auto untrusted = [this](const std::string& rar) {
        return "使用winrar压缩时，rar.exe文件路径" + (dir_ / rar) + "无效：它不是只有root能修改的可执行文件";
    };
    struct Case {
        std::string rarPath;
        std::string message;
    };
    const Case cases[] = {
        {"", "使用winrar压缩时，rar.exe文件路径无效"},
        {dir_ / "none/rar", "使用winrar压缩时，rar.exe文件路径" + (dir_ / "none/rar") + "无效"},
        {dir_ / "plain/rar", untrusted("plain/rar")},
        {dir_ / "theirs/rar", untrusted("theirs/rar")},
        {dir_ / "open/rar", untrusted("open/rar")},
        {dir_ / "group/rar", untrusted("group/rar")},
        {dir_ / "open-folder/rar", untrusted("open-folder/rar")},
        {dir_ / "under-theirs/bin/rar", untrusted("under-theirs/bin/rar")},
        {dir_ / "badshell/rar", "使用winrar压缩时，创建了压缩进程失败。错误号2"},
    };
    for (const Case& c : cases) {
        CZipOperator zip(c.rarPath);
        EXPECT_FALSE(zip.RunRar(kTestArgs)) << c.rarPath;
        EXPECT_EQ(zip.message(), c.message);
        EXPECT_EQ(zip.ExtractFile(dir_ / "a.rar", dir_ / "to", ""), -1);
        EXPECT_FALSE(zip.CompressFile(dir_ / "plain/rar", dir_ / "out", "", "a"));
        EXPECT_EQ(zip.message(), c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ran"));
}

// A link to the archiver is followed once and the program it names is run, so a link in another user's
// folder cannot be turned to a program of theirs between the check and the run.
TEST_F(ZipOperatorRun, ALinkedArchiverRunsTheProgramItNamed) {
    std::filesystem::create_directories(dir_ / "theirs");
    std::filesystem::create_symlink(FakeRar(), dir_ / "theirs/rar");
    chown((dir_ / "theirs").c_str(), 65534, 65534);
    CZipOperator zip(dir_ / "theirs/rar");
    ASSERT_TRUE(zip.RunRar(kTestArgs)) << zip.message();
    EXPECT_EQ(RecordedArgs(), kTestArgs) << "the stand-in records beside the program it was run as";
    EXPECT_FALSE(std::filesystem::exists(dir_ / "theirs/args"));
}

TEST_F(ZipOperatorRun, ArchiverKilledBySignalFails) {
    WriteFile(dir_ / "killed/rar", "#!/bin/sh\nkill -KILL $$\n");
    chmod((dir_ / "killed/rar").c_str(), 0755);
    CZipOperator zip(dir_ / "killed/rar");
    EXPECT_FALSE(zip.RunRar(kTestArgs));
    EXPECT_EQ(zip.lastCode(), 128 + 9);
    EXPECT_EQ(zip.message(), kPrefix + "进程被信号9终止\n");
}

// True once the process is gone or a zombie; false after 2 s.
bool BecomesGone(pid_t pid) {
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < end) {
        const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
        const std::size_t close = stat.rfind(')');
        if (stat.empty() || (close != std::string::npos && stat.compare(close + 2, 1, "Z") == 0)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// The job's stop ends the archiver it runs, with its children, and no later run of the job starts.
TEST_F(ZipOperatorRun, AStopEndsTheArchiverOfTheJob) {
    const std::string slow = dir_ / "slow/rar";
    WriteFile(slow, "#!/bin/sh\necho run >> '" + dir_ / "runs" + "'\nsleep 30 &\necho $! > '" +
                        dir_ / "sleeper.pid" + "'\necho $$ > '" + dir_ / "archiver.pid" + "'\nwait\n");
    chmod(slow.c_str(), 0755);
    std::stop_source stop;
    CZipOperator zip(slow, stop.get_token());
    int code = 0;
    std::chrono::steady_clock::time_point returned;
    std::thread job([&] {
        code = zip.ExtractFile(dir_ / "a.rar", dir_ / "to", "");
        returned = std::chrono::steady_clock::now();
    });
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!ReadFile(dir_ / "archiver.pid").ends_with("\n") && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    const auto stopped = std::chrono::steady_clock::now();
    stop.request_stop();
    job.join();
    EXPECT_LT(returned - stopped, 1s);
    EXPECT_EQ(code, -1);
    EXPECT_EQ(zip.message(), "使用winrar时发生内部错误(命令：x -y -o+ -- " + dir_ / "a.rar " + dir_ / "to/" +
                                 ")：任务已停止，进程已被终止\n");
    EXPECT_TRUE(BecomesGone(std::stoi(ReadFile(dir_ / "archiver.pid"))));
    EXPECT_TRUE(BecomesGone(std::stoi(ReadFile(dir_ / "sleeper.pid"))));

    EXPECT_FALSE(zip.CompressFolder(dir_ / "fake/", dir_ / "out/", "", "set"));
    EXPECT_EQ(ReadFile(dir_ / "runs"), "run\n");
}

}  // namespace
}  // namespace zov
