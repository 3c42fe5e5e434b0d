#include "tools/rar/CommandLine.h"

#include <charconv>

namespace zov::rar {
namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::uint64_t kMaxVolumeMebibytes = 1024 * 1024;  // 1 TiB
constexpr int kMaxThreads = 64;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool ParseVolumeSize(const std::string& sw, std::uint64_t& bytes) {
    // -v<N>m
    if (sw.size() < 4 || sw.back() != 'm') return false;
    const char* first = sw.data() + 2;
    const char* last = sw.data() + sw.size() - 1;
    std::uint64_t megabytes = 0;
    auto [end, ec] = std::from_chars(first, last, megabytes);
    if (ec != std::errc() || end != last || megabytes < 1 || megabytes > kMaxVolumeMebibytes) return false;
    bytes = megabytes * kMebibyte;
    return true;
}

bool ParseThreads(const std::string& sw, int& threads) {
    // -mt<N>
    const char* first = sw.data() + 3;
    const char* last = sw.data() + sw.size();
    auto [end, ec] = std::from_chars(first, last, threads);
    return first != last && ec == std::errc() && end == last && threads >= 1 && threads <= kMaxThreads;
}

bool ParseSwitch(const std::string& sw, Options& options) {
    if (sw == "-r") return true;  // a folder source is always taken with its whole tree
    if (sw == "-y" || sw == "-o+") {
        options.overwrite = true;
        return true;
    }
    if (sw.size() == 3 && sw.starts_with("-m") && sw[2] >= '1' && sw[2] <= '5') {
        options.level = sw[2] - '0';
        return true;
    }
    if (sw == "-ep1") {
        options.excludeBasePath = true;
        return true;
    }
    if (sw == "-inul") {
        options.quiet = true;
        return true;
    }
    if (StartsWith(sw, "-mt")) return ParseThreads(sw, options.threads);
    if (StartsWith(sw, "-ap")) {
        options.archivePath = sw.substr(3);
        return !options.archivePath.empty();
    }
    if (StartsWith(sw, "-logf=")) {
        options.logFile = sw.substr(6);
        return !options.logFile.empty();
    }
    if (StartsWith(sw, "-v")) return ParseVolumeSize(sw, options.volumeBytes);
    if (StartsWith(sw, "-p")) {
        // An empty password would make the archiver ask for one; it never reads standard input.
        if (sw.size() == 2) return false;
        options.password = sw.substr(2);
        return true;
    }
    if (StartsWith(sw, "-x@")) {
        if (sw.size() == 3) return false;
        options.leftOutLists.push_back(sw.substr(3));
        return true;
    }
    if (StartsWith(sw, "-n@")) {
        if (sw.size() == 3) return false;
        options.listFiles.push_back(sw.substr(3));
        return true;
    }
    if (StartsWith(sw, "-n")) {
        if (sw.size() == 2) return false;
        options.includeMasks.push_back(sw.substr(2));
        return true;
    }
    if (StartsWith(sw, "-x")) {
        if (sw.size() == 2) return false;
        options.excludeMasks.push_back(sw.substr(2));
        return true;
    }
    return false;
}

// The switch text may hold a password: name only its letter.
std::string BadSwitch(const std::string& sw, const char* where) {
    return std::string("unknown or malformed switch -") + sw.substr(1, 1) + "..." + where;
}

}  // namespace

std::vector<std::string> EnvironmentSwitches(std::string_view value) {
    std::vector<std::string> switches;
    while (!value.empty()) {
        const std::size_t start = value.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        value.remove_prefix(start);
        if (value.starts_with("-p")) {
            switches.emplace_back(value);
            break;
        }
        const std::size_t end = value.find(' ');
        switches.emplace_back(value.substr(0, end));
        value.remove_prefix(end == std::string_view::npos ? value.size() : end);
    }
    return switches;
}

std::optional<Options> ParseCommandLine(const std::vector<std::string>& args,
                                        const std::vector<std::string>& environmentSwitches,
                                        std::string& error) {
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    Options options;
    std::size_t wanted = 0;
    if (args[0] == "a") {
        options.command = Command::Add;
        wanted = 2;
    } else if (args[0] == "x") {
        options.command = Command::Extract;
        wanted = 2;
    } else if (args[0] == "t") {
        options.command = Command::Test;
        wanted = 1;
    } else {
        error = "unknown command " + args[0];
        return std::nullopt;
    }
    for (const std::string& sw : environmentSwitches) {
        if (sw.size() < 2 || sw[0] != '-' || !ParseSwitch(sw, options)) {
            error = BadSwitch(sw, " in RAR");
            return std::nullopt;
        }
    }
    std::vector<std::string> names;
    bool switchesEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!switchesEnded && arg == "--") {
            switchesEnded = true;
        } else if (!switchesEnded && arg.size() > 1 && arg[0] == '-') {
            if (!ParseSwitch(arg, options)) {
                error = BadSwitch(arg, "");
                return std::nullopt;
            }
        } else if (arg.empty()) {
            error = "empty argument";
            return std::nullopt;
        } else {
            names.push_back(arg);
        }
    }
    // a takes one source or more.
    if (names.size() != wanted && (options.command != Command::Add || names.size() < wanted)) {
        error = "wrong number of arguments";
        return std::nullopt;
    }
    if (options.command != Command::Add && (!options.leftOutLists.empty() || !options.archivePath.empty())) {
        error = "-x@ and -ap are for adding only";
        return std::nullopt;
    }
    options.archive = names[0];
    if (wanted == 2) options.target = names[1];
    options.moreSources.assign(names.begin() + static_cast<std::ptrdiff_t>(wanted), names.end());
    return options;
}

}  // namespace zov::rar
