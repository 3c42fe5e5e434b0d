#include "engine/archive/ZipOperatorRun.h"

#include <chrono>
#include <string>
#include <vector>

#include "engine/archive/RarExitCode.h"
#include "engine/util/CommonPaths.h"
#include "platform/Clock.h"
#include "platform/ProcessRunner.h"
#include "platform/TrustedProgram.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

// A hung archiver must not hold a worker for ever; real backups finish well within this.
constexpr std::chrono::hours kRunLimit{48};
// After a failed run, so that a caller's immediate retry does not meet files still being released.
constexpr std::chrono::milliseconds kFailurePause = 500ms;
constexpr const char* kStoppedText = "任务已停止，进程已被终止\n";

// The command as shown in messages: the password masked, arguments with blanks quoted.
std::string CommandText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty()) text += ' ';
        if (argument.starts_with("-p")) {
            text += "-p***";
        } else if (argument.empty() || argument.find(' ') != std::string::npos) {
            text += '"' + argument + '"';
        } else {
            text += argument;
        }
    }
    return text;
}

struct ExitMeaning {
    bool success;
    const char* text;
    bool replacesPrefix;
};

ExitMeaning MeaningOf(int code) {
    switch (code) {
        case kRarSuccess:
            return {true, "", true};
        case kRarWarning:
            return {true, "警告,非致命错误\n", false};
        case kRarFatalError:
            return {false, "警告,致命错误\n", false};
        case kRarDamaged:
            return {false, "校验和无效,压缩文件已经损坏\n", false};
        case kRarLockedArchive:
            return {false, "尝试修改一个锁定的压缩文件\n", false};
        case kRarWriteError:
            return {false, "发生写错误\n", false};
        case kRarOpenError:
            return {true, "警告：文件打开错误，一个或多个文件未压缩。\n", true};
        case kRarOptionError:
            return {false, "命令行选项错误\n", false};
        case kRarOutOfMemory:
            return {false, "内存不足\n", false};
        case kRarCreateError:
            return {false, "文件创建错误\n", false};
        case kRarNoFilesMatched:
            return {true, "警告：没有找到与指定掩码和选项匹配的文件。一个或多个文件未压缩。\n", true};
        case kRarWrongPassword:
            return {false, "密码错误\n", false};
        case kRarUserBreak:
            return {false, "用户中断\n", false};
        default:
            return {false, "", false};
    }
}

}  // namespace

bool ArchiverRun::Fail(std::string message) {
    message_ = std::move(message);
    return false;
}

bool ArchiverRun::RunRar(const std::vector<std::string>& arguments, const std::string& password) {
    return RunRarCode(arguments, password) == 0;
}

int ArchiverRun::RunRarCode(const std::vector<std::string>& arguments, const std::string& password) {
    if (!FileExists(rarPath_)) {
        message_ = "使用winrar压缩时，rar.exe文件路径" + rarPath_ + "无效";
        return -1;
    }
    // The archiver runs as root and is handed the archive password.
    const std::string program = TrustedProgramPath(rarPath_);
    if (program.empty()) {
        message_ = "使用winrar压缩时，rar.exe文件路径" + rarPath_ + "无效：它不是只有root能修改的可执行文件";
        return -1;
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProcessOptions options;
    options.timeout = kRunLimit;
    options.stop = stop_;
    // Only the process's owner can read its environment; its arguments are open to every local user.
    options.extraEnv.push_back(password.empty() ? "RAR=" : "RAR=-p" + password);
    ProcessResult result = RunProcess(argv, options);
    std::string prefix = "使用winrar时发生内部错误(命令：" + CommandText(arguments) + ")：";
    if (result.stopped) {
        // The job is ending: no pause for a retry.
        if (result.started) lastCode_ = result.signal != 0 ? 128 + result.signal : result.exitCode;
        message_ = prefix + kStoppedText;
        return -1;
    }
    if (!result.started) {
        message_ = "使用winrar压缩时，创建了压缩进程失败。错误号" + std::to_string(result.startError);
        return -1;
    }

    if (result.timedOut || result.signal != 0) {
        lastCode_ = result.signal != 0 ? 128 + result.signal : result.exitCode;
        message_ = prefix + (result.timedOut ? "运行超时，进程已被终止\n"
                                             : "进程被信号" + std::to_string(result.signal) + "终止\n");
        SleepFor(kFailurePause);
        return lastCode_ != 0 ? lastCode_ : -1;
    }

    lastCode_ = result.exitCode;
    ExitMeaning meaning = MeaningOf(lastCode_);
    message_ = meaning.replacesPrefix ? meaning.text : prefix + meaning.text;
    if (meaning.success) return 0;
    SleepFor(kFailurePause);
    return lastCode_;
}

}  // namespace zov
