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

constexpr const char* kServerMarkers[] = {"mariadbd", "mysqld", "mysqld-nt", "mysql-nt"};
constexpr const char* kWindowsSuffix = ".exe";
constexpr const char* kDefaultsFileOption = "--defaults-file=";
constexpr const char* kDataDirOption = "--datadir=";
// A server name that tells apart servers of one service name: "service (data folder)".
constexpr const char* kDataDirOpen = " (";
constexpr const char* kDataDirClose = ")";
constexpr const char* kSocketOption = "--socket=";
constexpr const char* kPortOption = "--port=";
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

// A server program's file name ends with a marker, ".exe" aside; "mysqldump" or "mysqld_safe" does not.
bool IsServerProgram(const std::string& path) {
    std::string name = LowerAscii(FileName(WithoutQuotes(path)));
    if (name.ends_with(kWindowsSuffix)) name.resize(name.size() - std::string(kWindowsSuffix).size());
    for (const char* marker : kServerMarkers) {
        if (name.ends_with(marker)) return true;
    }
    return false;
}

// The server program of a command line: argv[0], else the program file when it is one; never an argument.
std::optional<std::string> ServerProgram(const std::vector<std::string>& arguments,
                                         const std::string& imagePath) {
    if (!arguments.empty() && IsServerProgram(arguments.front())) return WithoutQuotes(arguments.front());
    if (!imagePath.empty() && IsServerProgram(imagePath)) return imagePath;
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

bool IsMySqlServer(const ServiceInfo& service) {
    return ServerProgram(SplitCommandLine(service.commandLine), service.imagePath).has_value();
}

MySqlDataDirSearch SearchMySqlDataDir(const ServiceInfo& service, const MySqlMachineLayout& layout) {
    MySqlDataDirSearch search;
    const std::vector<std::string> arguments = SplitCommandLine(service.commandLine);
    if (arguments.empty()) {
        search.failure = MySqlDataDirFailure::NoCommandLine;
        return search;
    }
    std::optional<std::string> program = ServerProgram(arguments, service.imagePath);
    if (!program) {
        search.failure = MySqlDataDirFailure::NotMySql;
        return search;
    }
    if (!IsAbsolutePath(*program) && IsAbsolutePath(service.imagePath)) program = service.imagePath;
    search.programFolder = FolderOf(*program);

    std::vector<std::string> candidates;
    const std::string named = OptionValue(arguments, kDefaultsFileOption);
    if (!named.empty()) candidates.push_back(named);
    if (!search.programFolder.empty()) {
        candidates.push_back(search.programFolder + kOptionFileName);
        const std::string parent = FolderOf(search.programFolder.substr(0, search.programFolder.size() - 1));
        if (!parent.empty()) candidates.push_back(parent + kOptionFileName);
    }
    bool anyOptionFile = false;
    std::string serverFile;
    for (const std::string& candidate : candidates) {
        search.optionFile = candidate;
        if (!IsRegularFile(candidate)) continue;
        anyOptionFile = true;
        serverFile = candidate;
        break;
    }
    const bool machineFile = !layout.optionFile.empty() && IsRegularFile(layout.optionFile);
    const auto option = [&](const char* name, const char* commandLineOption) {
        std::string value = OptionValue(arguments, commandLineOption);
        if (value.empty() && !serverFile.empty())
            value = ReadMySqlOption(serverFile, kMySqlServerGroups, name).value_or("");
        if (value.empty() && machineFile)
            value = ReadMySqlOption(layout.optionFile, kMySqlServerGroups, name).value_or("");
        return value;
    };
    search.socket = option("socket", kSocketOption);
    search.port = option("port", kPortOption);

    search.dataDir = OptionValue(arguments, kDataDirOption);
    if (!search.dataDir.empty()) return search;
    if (!serverFile.empty()) search.dataDir = DataDirOfOptionFile(serverFile);
    if (search.dataDir.empty() && machineFile) {
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

MySqlServerSearch SearchMySqlServers(const std::string& serviceName, const MySqlMachineLayout& layout) {
    std::unique_ptr<ServiceManager> manager = CreateServiceManager(RunFolder() + "services/");
    const std::vector<ServiceInfo> candidates =
        serviceName.empty() ? std::vector<ServiceInfo>() : manager->Candidates(serviceName);
    MySqlServerSearch servers;
    servers.refused.failure = MySqlDataDirFailure::NoCommandLine;
    servers.refused.error = manager->lastError();
    for (const ServiceInfo& service : candidates) {
        if (!service.unregistered) {
            servers.found.push_back(SearchMySqlDataDir(service, layout));
            return servers;
        }
        if (servers.found.empty()) servers.refused.failure = MySqlDataDirFailure::Untrusted;
        const bool byRoot = service.account == AccountName(0);
        if (!IsTrustedProgram(service.imagePath) || (!byRoot && !IsSystemAccount(service.account))) continue;
        MySqlMachineLayout asked = layout;
        asked.askProgram = layout.askProgram && byRoot;
        MySqlDataDirSearch search = SearchMySqlDataDir(service, asked);
        if (search.dataDir.empty()) {
            if (byRoot && servers.found.empty()) servers.refused = search;
            continue;
        }
        struct stat folder {};
        if (byRoot ||
            (::stat(search.dataDir.c_str(), &folder) == 0 && AccountName(folder.st_uid) == service.account))
            servers.found.push_back(std::move(search));
    }
    return servers;
}

std::string MySqlServerName(const std::string& serviceName, const std::string& dataDir) {
    return serviceName + kDataDirOpen + dataDir + kDataDirClose;
}

MySqlServerChoice SplitMySqlServerName(const std::string& name) {
    const std::size_t open = name.find(kDataDirOpen);
    if (open == std::string::npos || !name.ends_with(kDataDirClose)) return {name, ""};
    const std::size_t start = open + std::string(kDataDirOpen).size();
    return {name.substr(0, open), name.substr(start, name.size() - 1 - start)};
}

MySqlDataDirSearch SearchMySqlDataDir(const std::string& serverName, const MySqlMachineLayout& layout) {
    const MySqlServerChoice choice = SplitMySqlServerName(serverName);
    MySqlServerSearch servers = SearchMySqlServers(choice.serviceName, layout);
    for (MySqlDataDirSearch& server : servers.found) {
        if (choice.dataDir.empty() || server.dataDir == choice.dataDir) return std::move(server);
    }
    if (!servers.found.empty()) servers.refused.failure = MySqlDataDirFailure::NoSuchServer;
    return servers.refused;
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
