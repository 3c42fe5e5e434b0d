#include "platform/ServiceManagerSystemd.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/ProcFind.h"
#include "platform/ProcessRunner.h"
#include "platform/ServiceManagerCommandLine.h"
#include "platform/Text.h"

namespace zov {
namespace {

constexpr const char* kDefaultUnitFolder = "/etc/systemd/system/";
constexpr const char* kUnitSuffix = ".service";
constexpr const char* kStateProperties = "LoadState,ActiveState,SubState";
constexpr const char* kQueryProperties =
    "Id,Description,LoadState,ActiveState,SubState,ExecStart,User,MainPID";
constexpr std::chrono::seconds kSystemctlTimeout{30};
constexpr mode_t kUnitFileMode = 0644;

using Properties = std::map<std::string, std::string>;

// The "show" output: one block of "Key=value" lines per unit, blocks separated by an empty line.
std::vector<Properties> ParseShow(const std::string& output) {
    std::vector<Properties> blocks(1);
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            if (!blocks.back().empty()) blocks.emplace_back();
            continue;
        }
        size_t equals = line.find('=');
        if (equals != std::string::npos) blocks.back()[line.substr(0, equals)] = line.substr(equals + 1);
    }
    if (blocks.back().empty()) blocks.pop_back();
    return blocks;
}

std::string Property(const Properties& properties, const std::string& key) {
    auto found = properties.find(key);
    return found == properties.end() ? std::string() : found->second;
}

int StateOf(const Properties& properties) {
    const std::string load = Property(properties, "LoadState");
    const std::string active = Property(properties, "ActiveState");
    if (load.empty() || active.empty()) return kServiceManagerUnreachable;
    if (load == "not-found") return kServiceNotInstalled;
    if (active == "activating") return kServiceStartPending;
    if (active == "deactivating") return kServiceStopPending;
    if (active == "active" || active == "reloading" || active == "refreshing") {
        // Active without a process ("exited"): nothing of the service runs.
        return Property(properties, "SubState") == "exited" ? kServiceStopped : kServiceRunning;
    }
    return kServiceStopped;
}

// A field of ExecStart's "{ path=... ; argv[]=... ; ... }" text.
std::string ExecStartField(const std::string& execStart, const std::string& field) {
    size_t start = execStart.find(field + "=");
    if (start == std::string::npos) return {};
    start += field.size() + 1;
    size_t end = execStart.find(" ;", start);
    return execStart.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Quoted for ExecStart: every argument in double quotes, specifiers and variables escaped.
std::string ExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        if (c == '$') quoted += '$';
        quoted += c;
    }
    return quoted + "\"";
}

std::string EscapeSpecifiers(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '%') escaped += '%';
        escaped += c;
    }
    return escaped;
}

bool WriteUnitFile(const std::string& path, const std::string& text) {
    return WriteFileAtomic(path, text) && chmod(path.c_str(), kUnitFileMode) == 0;
}

// The names in the first column of systemctl's list output that are units of services (templates left out).
void CollectUnitNames(const std::string& output, std::set<std::string>& names) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string unit;
        fields >> unit;
        if (unit.ends_with(kUnitSuffix) && !unit.ends_with(std::string("@") + kUnitSuffix))
            names.insert(unit);
    }
}

ServiceInfo InfoOf(const Properties& properties) {
    ServiceInfo info;
    info.name = Property(properties, "Id");
    info.displayName = Property(properties, "Description");
    const std::string execStart = Property(properties, "ExecStart");
    info.imagePath = ExecStartField(execStart, "path");
    info.commandLine = ExecStartField(execStart, "argv[]");
    // A running service's real command line has its variables expanded.
    const pid_t mainPid = static_cast<pid_t>(std::atoi(Property(properties, "MainPID").c_str()));
    if (std::optional<ProcessInfo> process = ReadProcessInfo(mainPid);
        process && !process->arguments.empty()) {
        info.commandLine = JoinCommandLine(process->arguments);
    }
    info.account = Property(properties, "User");
    if (info.account.empty()) info.account = AccountName(0);
    return info;
}

}  // namespace

SystemdServiceManager::SystemdServiceManager() {
    const char* configured = getenv("ZOV_SYSTEMD_UNIT_DIR");
    unitFolder_ =
        WithTrailingSlash(configured != nullptr && *configured != '\0' ? configured : kDefaultUnitFolder);
}

SystemdServiceManager::SystemdServiceManager(std::string unitFolder)
    : unitFolder_(WithTrailingSlash(unitFolder)) {}

std::string SystemdServiceManager::UnitName(const std::string& name) {
    if (name.ends_with(kUnitSuffix)) return name;
    return LowerAscii(name) + kUnitSuffix;
}

std::string SystemdServiceManager::UnitText(const ServiceConfig& config) {
    std::string exec;
    for (const std::string& argument : config.command) {
        if (!exec.empty()) exec += ' ';
        exec += ExecArgument(argument);
    }
    const std::string program = config.command.empty() ? std::string() : config.command.front();
    const std::string folder = CleanPath(program.substr(0, program.rfind('/') + 1));
    return "[Unit]\n"
           "Description=" +
           EscapeSpecifiers(config.displayName.empty() ? config.name : config.displayName) +
           "\n"
           "\n"
           "[Service]\n"
           "Type=notify\n"
           "ExecStart=" +
           exec +
           "\n"
           "WorkingDirectory=" +
           EscapeSpecifiers(folder) +
           "\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

std::string SystemdServiceManager::RestartDropInText() {
    return "[Service]\n"
           "Restart=on-failure\n"
           "RestartSec=0\n";
}

std::string SystemdServiceManager::UnitPath(const std::string& name) const {
    return unitFolder_ + UnitName(name);
}

std::string SystemdServiceManager::DropInFolder(const std::string& name) const {
    return UnitPath(name) + ".d/";
}

std::optional<std::string> SystemdServiceManager::Systemctl(const std::vector<std::string>& arguments) {
    std::error_code noTempFolder;
    std::filesystem::path folder = std::filesystem::temp_directory_path(noTempFolder);
    if (noTempFolder) folder = "/tmp";
    std::string outputPath = (folder / "zov-systemctl-XXXXXX").string();
    int fd = mkostemp(outputPath.data(), O_CLOEXEC);
    if (fd < 0) {
        Fail(errno);
        return std::nullopt;
    }
    close(fd);
    std::vector<std::string> argv{"systemctl"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProcessOptions options;
    options.stdoutPath = outputPath;
    options.timeout = kSystemctlTimeout;
    ProcessResult result = RunProcess(argv, options);
    std::optional<std::string> output = ReadWholeFile(outputPath);
    unlink(outputPath.c_str());
    if (!result.started) {
        Fail(result.startError);
        return std::nullopt;
    }
    if (!result.Succeeded()) {
        Fail(result.timedOut ? ETIMEDOUT : result.exitCode > 0 ? result.exitCode : EIO);
        return std::nullopt;
    }
    Succeed();
    return output.value_or("");
}

bool SystemdServiceManager::Reload() { return Systemctl({"daemon-reload"}).has_value(); }

int SystemdServiceManager::GetState(const std::string& name) {
    if (name.empty()) return kServiceNotInstalled;
    std::optional<std::string> output = Systemctl({"show", "-p", kStateProperties, UnitName(name)});
    if (!output) return kServiceManagerUnreachable;
    std::vector<Properties> blocks = ParseShow(*output);
    return blocks.empty() ? kServiceManagerUnreachable : StateOf(blocks.front());
}

bool SystemdServiceManager::Install(const ServiceConfig& config) {
    if (!IsValidServiceConfig(config)) return Fail(EINVAL);
    const int state = GetState(config.name);
    if (state == kServiceManagerUnreachable) return false;
    const std::string unitPath = UnitPath(config.name);
    if (state != kServiceNotInstalled || PathExists(unitPath)) return Fail(EEXIST);
    if (!CreateFolderChain(unitFolder_) || !WriteUnitFile(unitPath, UnitText(config))) return Fail(errno);
    if (Reload() && (!config.autoStart || Systemctl({"enable", UnitName(config.name)}))) return Succeed();
    const int error = lastError();
    unlink(unitPath.c_str());
    Reload();
    return Fail(error);
}

bool SystemdServiceManager::Remove(const std::string& name) {
    if (name.empty()) return Fail(EINVAL);
    const std::string unitPath = UnitPath(name);
    if (!PathExists(unitPath)) return Fail(GetState(name) == kServiceNotInstalled ? ENOENT : EPERM);
    Systemctl({"disable", UnitName(name)});
    if (unlink(unitPath.c_str()) != 0) return Fail(errno);
    const std::string dropIns = DropInFolder(name);
    unlink((dropIns + "restart.conf").c_str());
    rmdir(dropIns.c_str());
    return Reload() ? Succeed() : false;
}

bool SystemdServiceManager::Start(const std::string& name) {
    if (name.empty()) return Fail(EINVAL);
    return Systemctl({"start", "--no-block", UnitName(name)}).has_value();
}

bool SystemdServiceManager::Stop(const std::string& name) {
    if (name.empty()) return Fail(EINVAL);
    return Systemctl({"stop", "--no-block", UnitName(name)}).has_value();
}

bool SystemdServiceManager::SetStartType(const std::string& name, int startType) {
    if (name.empty()) return Fail(EINVAL);
    const char* verb = nullptr;
    if (startType == kServiceAutoStart) verb = "enable";
    if (startType == kServiceDemandStart || startType == kServiceDisabled) verb = "disable";
    if (verb == nullptr) return Fail(EINVAL);
    return Systemctl({verb, UnitName(name)}).has_value();
}

bool SystemdServiceManager::SetRestartOnFailure(const std::string& name) {
    if (name.empty()) return Fail(EINVAL);
    const int state = GetState(name);
    if (state == kServiceManagerUnreachable) return false;
    if (state == kServiceNotInstalled) return Fail(ENOENT);
    const std::string folder = DropInFolder(name);
    if (!CreateFolderChain(folder) || !WriteUnitFile(folder + "restart.conf", RestartDropInText())) {
        return Fail(errno);
    }
    return Reload();
}

std::optional<ServiceInfo> SystemdServiceManager::Query(const std::string& name) {
    if (name.empty()) return std::nullopt;
    std::optional<std::string> output = Systemctl({"show", "-p", kQueryProperties, UnitName(name)});
    if (!output) return std::nullopt;
    std::vector<Properties> blocks = ParseShow(*output);
    if (blocks.empty() || StateOf(blocks.front()) == kServiceNotInstalled) {
        Fail(ENOENT);
        return std::nullopt;
    }
    return InfoOf(blocks.front());
}

std::optional<std::vector<ServiceInfo>> SystemdServiceManager::List() {
    std::optional<std::string> loaded =
        Systemctl({"list-units", "--type=service", "--all", "--plain", "--no-legend"});
    if (!loaded) return std::nullopt;
    std::optional<std::string> files = Systemctl({"list-unit-files", "--type=service", "--no-legend"});
    if (!files) return std::nullopt;
    std::set<std::string> names;
    CollectUnitNames(*loaded, names);
    CollectUnitNames(*files, names);
    std::vector<ServiceInfo> services;
    if (names.empty()) return services;
    std::vector<std::string> arguments{"show", "-p", kQueryProperties};
    arguments.insert(arguments.end(), names.begin(), names.end());
    std::optional<std::string> output = Systemctl(arguments);
    if (!output) return std::nullopt;
    for (const Properties& properties : ParseShow(*output)) {
        if (StateOf(properties) != kServiceNotInstalled) services.push_back(InfoOf(properties));
    }
    return services;
}

}  // namespace zov
