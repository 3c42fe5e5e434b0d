#include "engine/mysql/MySqlRun.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <regex>

#include "platform/AtomicFile.h"
#include "platform/ProcessRunner.h"
#include "platform/Text.h"

namespace zov {
namespace {

// The dump tools' exit status for a wrong option.
constexpr int kUsageExit = 1;
// Server errors no new run mends: access denied (database, user, socket login), unknown or invalid
// database name.
constexpr int kFinalServerErrors[] = {1044, 1045, 1049, 1102, 1698};
constexpr std::size_t kMaxErrorFileBytes = 64 * 1024;
// The client library's own errors: the server could not be reached or stopped answering.
constexpr int kFirstClientError = 2000;
constexpr int kLastClientError = 2999;

std::atomic<std::int64_t> connectSeconds{20};
std::atomic<std::int64_t> idleSeconds{30 * 60};

std::string Trimmed(std::string text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::vector<int> ErrorCodes(const std::string& text) {
    static const std::regex code(R"((?:[Ee]rror:?|ERROR) (\d{4}))");
    std::vector<int> codes;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), code); it != std::sregex_iterator(); ++it)
        codes.push_back(std::stoi((*it)[1].str()));
    return codes;
}

bool HasFinalServerError(const std::string& text) {
    for (int number : ErrorCodes(text)) {
        for (int final : kFinalServerErrors) {
            if (number == final) return true;
        }
    }
    return false;
}

bool HasClientError(const std::string& text) {
    for (int number : ErrorCodes(text)) {
        if (number >= kFirstClientError && number <= kLastClientError) return true;
    }
    return false;
}

}  // namespace

MySqlWaitBounds MySqlBounds() {
    return {std::chrono::seconds(connectSeconds.load()), std::chrono::seconds(idleSeconds.load())};
}

void SetMySqlBounds(const MySqlWaitBounds& bounds) {
    connectSeconds = bounds.connect.count();
    idleSeconds = bounds.idle.count();
}

MySqlToolRun RunBatchFile(const std::vector<std::string>& argv, const MySqlToolFiles& files,
                          std::chrono::milliseconds timeout, std::stop_token stop,
                          const std::string& server) {
    ProcessOptions options;
    options.stdinPath = files.input;
    options.stdinFd = files.inputFd;
    options.idleTimeout = MySqlBounds().idle;
    options.stdoutPath = files.output;
    options.stderrPath = files.errors;
    options.timeout = timeout;
    options.stop = std::move(stop);
    const ProcessResult result = RunProcess(argv, options);

    MySqlToolRun run;
    if (!files.errors.empty()) {
        run.errorText = Trimmed(ReadWholeFile(files.errors, kMaxErrorFileBytes).value_or(""));
        run.errorText = std::string(CutUtf8(run.errorText, kMySqlErrorTextBytes));
    }
    run.succeeded = result.Succeeded();
    if (!result.started) {
        run.errorText = "无法运行" + argv.front() + "：" + std::strerror(result.startError);
    } else if (result.stopped) {
        run.errorText = argv.front() + "被停止";
    } else if (result.idle) {
        run.errorText =
            argv.front() + "在" + std::to_string(MySqlBounds().idle.count()) + "秒内没有任何进展，已被终止";
        if (!server.empty()) run.errorText += "：MySQL服务器" + server + "没有应答";
    } else if (result.timedOut) {
        run.errorText = argv.front() + "运行超时，已被终止";
    } else if (!run.succeeded && run.errorText.empty()) {
        run.errorText = argv.front() + "运行失败，退出码" + std::to_string(result.exitCode);
    } else if (!run.succeeded && !server.empty() && HasClientError(run.errorText)) {
        run.errorText += "（MySQL服务器：" + server + "）";
    }
    run.final = !result.started || result.timedOut || result.stopped || result.exitCode == kUsageExit ||
                (!run.succeeded && HasFinalServerError(run.errorText));
    return run;
}

}  // namespace zov
