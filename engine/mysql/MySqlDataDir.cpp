#include "engine/mysql/MySqlDataDir.h"

#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <sstream>

#include "engine/files/CacheFolder.h"
#include "engine/mysql/MySqlOptionFile.h"
#include "engine/mysql/MySqlTools.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonFiles.h"
#include "platform/AtomicFile.h"
#include "platform/FolderAccess.h"
#include "platform/Paths.h"
#include "platform/ProcFind.h"
#include "platform/ProcessRunner.h"
#include "platform/ServiceManagerCommandLine.h"
#include "platform/Text.h"

namespace zov {
namespace {

constexpr const char* kServerMarkers[] = {"mariadbd", "mysqld", "mysqld-nt", "mysql-nt", "mysql"};
constexpr const char* kDefaultsFileOption = "--defaults-file=";
constexpr const char* kDataDirOption = "--datadir=";
// The options that choose the server's option files; they must come first.
constexpr const char* kDefaultsOptions[] = {
    "--no-defaults", "--defaults-file=", "--defaults-extra-file=", "--defaults-group-suffix="};
constexpr const char* kOptionFileName = "my.cnf";
constexpr const char* kDataFolderName = "data";
constexpr std::chrono::seconds kProgramAnswerTimeout{15};
constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;
constexpr uid_t kFirstSystemUid = 1;
constexpr uid_t kLastSystemUid = 999;

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string WithoutQuotes(std::string text) {
    if (text.size() > 1 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The argument that is the server program: the first, by marker preference, whose file name holds one.
std::optional<std::string> ServerProgram(const std::vector<std::string>& arguments) {
    for (const char* marker : kServerMarkers) {
        for (const std::string& argument : arguments) {
            if (argument.starts_with("-")) continue;
            if (LowerAscii(FileName(WithoutQuotes(argument))).find(marker) != std::string::npos) {
                return WithoutQuotes(argument);
            }
        }
    }
    return std::nullopt;
}

std::string OptionValue(const std::vector<std::string>& arguments, const std::string& option) {
    for (const std::string& argument : arguments) {
        if (argument.starts_with(option)) return WithoutQuotes(argument.substr(option.size()));
    }
    return "";
}

std::string DataDirOfOptionFile(const std::string& path) {
    std::string value = ReadMySqlOption(path, kMySqlServerGroups, "datadir").value_or("");
    if (value.empty()) value = ParseMySqlDataDir(path);
    if (value.empty() && IsDirectory(FolderOf(path) + kDataFolderName))
        value = FolderOf(path) + kDataFolderName;
    return value;
}

// "datadir" of the program's "--verbose --help" list, read with the option-file choice of the service.
std::string ProgramDataDir(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& answerFile) {
    if (!IsTrustedProgram(program)) return "";
    std::vector<std::string> argv{program};
    for (const std::string& argument : arguments) {
        for (const char* option : kDefaultsOptions) {
            if (argument.starts_with(option)) argv.push_back(argument);
        }
    }
    argv.insert(argv.end(), {"--verbose", "--help"});
    ProcessOptions options;
    options.stdoutPath = answerFile;
    options.timeout = kProgramAnswerTimeout;
    const bool answered = RunProcess(argv, options).Succeeded();
    const std::string text = answered ? ReadWholeFile(answerFile, kMaxAnswerBytes).value_or("") : "";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("datadir ")) return Trimmed(line.substr(8));
    }
    return "";
}

// An account of the system, not of a person: uid 1 to 999 (Debian's range of system users).
bool IsSystemAccount(const std::string& account) {
    const std::optional<AccessTrustee> user = FindUser(account);
    return user && user->id >= kFirstSystemUid && user->id <= kLastSystemUid;
}

}  // namespace

bool IsMySqlServerCommand(const std::string& commandLine) {
    return ServerProgram(SplitCommandLine(commandLine)).has_value();
}

MySqlDataDirSearch SearchMySqlDataDir(const ServiceInfo& service, const MySqlMachineLayout& layout) {
    MySqlDataDirSearch search;
    const std::vector<std::string> arguments = SplitCommandLine(service.commandLine);
    if (arguments.empty()) {
        search.failure = MySqlDataDirFailure::NoCommandLine;
        return search;
    }
    std::optional<std::string> program = ServerProgram(arguments);
    if (!program) {
        search.failure = MySqlDataDirFailure::NotMySql;
        return search;
    }
    if (!IsAbsolutePath(*program) && IsAbsolutePath(service.imagePath)) program = service.imagePath;
    search.programFolder = FolderOf(*program);

    search.dataDir = OptionValue(arguments, kDataDirOption);
    if (!search.dataDir.empty()) return search;

    std::vector<std::string> candidates;
    const std::string named = OptionValue(arguments, kDefaultsFileOption);
    if (!named.empty()) candidates.push_back(named);
    if (!search.programFolder.empty()) {
        candidates.push_back(search.programFolder + kOptionFileName);
        const std::string parent = FolderOf(search.programFolder.substr(0, search.programFolder.size() - 1));
        if (!parent.empty()) candidates.push_back(parent + kOptionFileName);
    }
    bool anyOptionFile = false;
    for (const std::string& candidate : candidates) {
        search.optionFile = candidate;
        if (!IsRegularFile(candidate)) continue;
        anyOptionFile = true;
        search.dataDir = DataDirOfOptionFile(candidate);
        break;
    }
    if (search.dataDir.empty() && !layout.optionFile.empty() && IsRegularFile(layout.optionFile)) {
        if (!anyOptionFile) search.optionFile = layout.optionFile;
        anyOptionFile = true;
        search.dataDir = ReadMySqlOption(layout.optionFile, kMySqlServerGroups, "datadir").value_or("");
    }
    if (search.dataDir.empty() && layout.askProgram) {
        CacheWorkFolder work;
        if (!work.path().empty())
            search.dataDir = ProgramDataDir(*program, arguments, work.path() + "help.txt");
    }
    if (search.dataDir.empty()) {
        search.failure = anyOptionFile ? MySqlDataDirFailure::NoDataDir : MySqlDataDirFailure::NoOptionFile;
    }
    return search;
}

MySqlDataDirSearch SearchMySqlDataDir(const std::string& serviceName, const MySqlMachineLayout& layout) {
    std::unique_ptr<ServiceManager> manager = CreateServiceManager(RunFolder() + "services/");
    const std::vector<ServiceInfo> candidates =
        serviceName.empty() ? std::vector<ServiceInfo>() : manager->Candidates(serviceName);
    MySqlDataDirSearch refused;
    refused.failure = MySqlDataDirFailure::NoCommandLine;
    refused.error = manager->lastError();
    for (const ServiceInfo& service : candidates) {
        if (!service.unregistered) return SearchMySqlDataDir(service, layout);
        refused.failure = MySqlDataDirFailure::Untrusted;
        const bool byRoot = service.account == AccountName(0);
        if (!IsTrustedProgram(service.imagePath) || (!byRoot && !IsSystemAccount(service.account))) continue;
        MySqlMachineLayout asked = layout;
        asked.askProgram = layout.askProgram && byRoot;
        const MySqlDataDirSearch search = SearchMySqlDataDir(service, asked);
        if (search.dataDir.empty()) {
            if (byRoot) refused = search;
            continue;
        }
        struct stat folder {};
        if (byRoot ||
            (::stat(search.dataDir.c_str(), &folder) == 0 && AccountName(folder.st_uid) == service.account))
            return search;
    }
    return refused;
}

std::string FindMySqlDataDir(const std::string& serviceName) {
    return SearchMySqlDataDir(serviceName).dataDir;
}

std::string ParseMySqlDataDir(const std::string& path) {
    std::string text;
    if (!ReadTextFile(text, path, true)) return "";
    const std::size_t key = text.find("datadir=");
    if (key == std::string::npos) return "";
    const std::size_t start = key + 8;
    const std::size_t end = text.find_first_of("\r\n", start);
    return WithoutQuotes(
        Trimmed(text.substr(start, end == std::string::npos ? std::string::npos : end - start)));
}

}  // namespace zov
