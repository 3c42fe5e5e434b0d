#include "platform/ServiceManagerLocal.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/Folders.h"
#include "platform/IniProfile.h"
#include "platform/Paths.h"
#include "platform/ServiceManagerCommandLine.h"
#include "platform/Text.h"

namespace zov {
namespace {

constexpr const char* kSection = "Service";
constexpr const char* kRegistrationSuffix = ".ini";
constexpr const char* kSupervisorSuffix = ".supervisor";

std::string FolderOf(const std::string& program) { return program.substr(0, program.rfind('/') + 1); }

ServiceInfo DaemonInfo(const ProcessInfo& process) {
    return ServiceInfo{process.name,
                       process.name,
                       process.imagePath,
                       JoinCommandLine(process.arguments),
                       AccountName(process.uid),
                       true};
}

}  // namespace

LocalServiceManager::LocalServiceManager(std::string recordFolder, std::chrono::milliseconds stopTimeout)
    : recordFolder_(WithTrailingSlash(recordFolder)), stopTimeout_(stopTimeout) {}

std::optional<LocalServiceFiles> LocalServiceManager::RegisteredFiles(const std::string& name) const {
    std::optional<LocalServiceFiles> files = LocalServiceFiles::For(recordFolder_, name);
    if (!files || !IsRegularFile(files->registration)) return std::nullopt;
    return files;
}

std::optional<SupervisorRecord> LocalServiceManager::LiveSupervisor(const LocalServiceFiles& files) const {
    std::optional<SupervisorRecord> record = ReadSupervisorRecord(files.supervisor);
    if (!record || !IsProcessAlive(record->supervisorPid, record->supervisorStart)) return std::nullopt;
    return record;
}

int LocalServiceManager::GetState(const std::string& name) {
    std::optional<LocalServiceFiles> files = RegisteredFiles(name);
    if (!files) return Query(name) ? kServiceRunning : kServiceNotInstalled;
    std::optional<SupervisorRecord> supervisor = LiveSupervisor(*files);
    if (!supervisor) return kServiceStopped;
    if (supervisor->stopping) return kServiceStopPending;
    // Until the service reports, and between an abnormal end and the restart, the start is pending.
    if (!IsProcessAlive(supervisor->servicePid, supervisor->serviceStart)) return kServiceStartPending;
    std::optional<StatusRecord> status = ReadStatusRecord(files->status);
    if (!status || status->pid != supervisor->servicePid) return kServiceStartPending;
    // Stopped only once the supervisor is gone, so that a new start never meets the old process.
    return status->state == kServiceStopped ? kServiceStopPending : status->state;
}

bool LocalServiceManager::Install(const ServiceConfig& config) {
    if (!IsValidServiceConfig(config)) return Fail(EINVAL);
    std::optional<LocalServiceFiles> files = LocalServiceFiles::For(recordFolder_, config.name);
    if (!files) return Fail(EINVAL);
    if (!EnsurePrivateFolder(recordFolder_)) return Fail(errno);
    FileLock lock = FileLock::Acquire(files->lock, FileLock::Mode::Exclusive);
    if (!lock.held()) return Fail(errno);
    if (PathExists(files->registration)) return Fail(EEXIST);
    unlink(files->restartMarker.c_str());
    const std::string text =
        std::string("[") + kSection + "]\n" + "Name=" + config.name + "\n" +
        "DisplayName=" + (config.displayName.empty() ? config.name : config.displayName) + "\n" +
        "Command=" + JoinCommandLine(config.command) + "\n" +
        "StartType=" + std::to_string(config.autoStart ? kServiceAutoStart : kServiceDemandStart) + "\n" +
        "Account=" + AccountName(geteuid()) + "\n";
    return WriteFileAtomic(files->registration, text) ? Succeed() : Fail(errno);
}

bool LocalServiceManager::Remove(const std::string& name) {
    std::optional<LocalServiceFiles> files = RegisteredFiles(name);
    if (!files) return Fail(ENOENT);
    FileLock lock = FileLock::Acquire(files->lock, FileLock::Mode::Exclusive);
    if (!lock.held()) return Fail(errno);
    if (unlink(files->registration.c_str()) != 0) return Fail(errno);
    unlink(files->restartMarker.c_str());
    if (!LiveSupervisor(*files)) {
        unlink(files->supervisor.c_str());
        unlink(files->status.c_str());
    }
    return Succeed();
}

bool LocalServiceManager::Start(const std::string& name) {
    std::optional<LocalServiceFiles> files = RegisteredFiles(name);
    if (!files) return Fail(ENOENT);
    if (ini::Read(files->registration, kSection, "StartType") == std::to_string(kServiceDisabled)) {
        return Fail(EPERM);
    }
    FileLock lock = FileLock::Acquire(files->lock, FileLock::Mode::Exclusive);
    if (!lock.held()) return Fail(errno);
    if (LiveSupervisor(*files)) return Fail(EALREADY);
    SupervisorSetup setup;
    setup.recordFolder = recordFolder_;
    setup.name = name;
    setup.command = SplitCommandLine(ini::Read(files->registration, kSection, "Command"));
    if (setup.command.empty()) return Fail(EINVAL);
    setup.workingDirectory = FolderOf(setup.command.front());
    setup.stopTimeout = stopTimeout_;
    unlink(files->status.c_str());
    const int error = LaunchSupervisor(setup);
    return error == 0 ? Succeed() : Fail(error);
}

bool LocalServiceManager::Stop(const std::string& name) {
    std::optional<LocalServiceFiles> files = RegisteredFiles(name);
    if (!files) return Fail(ENOENT);
    std::optional<SupervisorRecord> supervisor = LiveSupervisor(*files);
    if (!supervisor) return Fail(ESRCH);
    return kill(supervisor->supervisorPid, SIGTERM) == 0 ? Succeed() : Fail(errno);
}

bool LocalServiceManager::SetStartType(const std::string& name, int startType) {
    std::optional<LocalServiceFiles> files = RegisteredFiles(name);
    if (!files) return Fail(ENOENT);
    if (startType != kServiceAutoStart && startType != kServiceDemandStart && startType != kServiceDisabled) {
        return Fail(EINVAL);
    }
    return ini::Write(files->registration, kSection, "StartType", std::to_string(startType)) ? Succeed()
                                                                                             : Fail(EIO);
}

bool LocalServiceManager::SetRestartOnFailure(const std::string& name) {
    std::optional<LocalServiceFiles> files = RegisteredFiles(name);
    if (!files) return Fail(ENOENT);
    return WriteFileAtomic(files->restartMarker, "Restart=on-failure\n") ? Succeed() : Fail(errno);
}

ServiceInfo LocalServiceManager::RegisteredInfo(const LocalServiceFiles& files) const {
    ServiceInfo info;
    info.name = ini::Read(files.registration, kSection, "Name");
    info.displayName = ini::Read(files.registration, kSection, "DisplayName");
    info.commandLine = ini::Read(files.registration, kSection, "Command");
    std::vector<std::string> command = SplitCommandLine(info.commandLine);
    if (!command.empty()) info.imagePath = command.front();
    info.account = ini::Read(files.registration, kSection, "Account");
    // A running service's real command line, as systemd gives its main process's.
    if (std::optional<SupervisorRecord> supervisor = LiveSupervisor(files)) {
        std::optional<ProcessInfo> process = ReadProcessInfo(supervisor->servicePid);
        if (process && !process->arguments.empty() &&
            IsProcessAlive(supervisor->servicePid, supervisor->serviceStart)) {
            info.commandLine = JoinCommandLine(process->arguments);
        }
    }
    return info;
}

std::optional<ServiceInfo> LocalServiceManager::Query(const std::string& name) {
    if (std::optional<LocalServiceFiles> files = RegisteredFiles(name)) return RegisteredInfo(*files);
    const std::string wanted = LowerAscii(name);
    for (ServiceInfo& daemon : Daemons()) {
        if (LowerAscii(daemon.name) == wanted) return std::move(daemon);
    }
    Fail(ENOENT);
    return std::nullopt;
}

std::optional<std::vector<ServiceInfo>> LocalServiceManager::List() {
    std::vector<ServiceInfo> services;
    for (const std::string& entry : ListDirectory(recordFolder_)) {
        if (!entry.ends_with(kRegistrationSuffix)) continue;
        std::string key = entry.substr(0, entry.size() - std::string(kRegistrationSuffix).size());
        if (std::optional<LocalServiceFiles> files = RegisteredFiles(key)) {
            services.push_back(RegisteredInfo(*files));
        }
    }
    std::vector<ServiceInfo> daemons = Daemons();
    services.insert(services.end(), daemons.begin(), daemons.end());
    return services;
}

std::vector<pid_t> LocalServiceManager::SupervisedPids() const {
    std::vector<pid_t> pids;
    for (const std::string& entry : ListDirectory(recordFolder_)) {
        if (!entry.ends_with(kSupervisorSuffix)) continue;
        if (std::optional<SupervisorRecord> record = ReadSupervisorRecord(recordFolder_ + entry)) {
            pids.push_back(record->supervisorPid);
            pids.push_back(record->servicePid);
        }
    }
    return pids;
}

std::vector<ServiceInfo> LocalServiceManager::Candidates(const std::string& name) {
    if (std::optional<LocalServiceFiles> files = RegisteredFiles(name)) return {RegisteredInfo(*files)};
    const std::string wanted = LowerAscii(name);
    std::vector<ServiceInfo> daemons = Daemons(true);
    std::erase_if(daemons, [&](const ServiceInfo& daemon) { return LowerAscii(daemon.name) != wanted; });
    return daemons;
}

std::vector<ServiceInfo> LocalServiceManager::Daemons(bool every) const {
    const std::vector<ProcessInfo> processes = ListProcesses();
    const std::vector<pid_t> supervised = SupervisedPids();
    auto isSupervised = [&](pid_t pid) {
        return std::find(supervised.begin(), supervised.end(), pid) != supervised.end();
    };
    std::map<pid_t, std::string> names;
    for (const ProcessInfo& process : processes) names[process.pid] = LowerAscii(process.name);

    std::vector<ServiceInfo> daemons;
    std::set<std::string> seen;
    for (const ProcessInfo& process : processes) {
        if (process.hasTerminal || process.name.empty()) continue;
        if (isSupervised(process.pid) || isSupervised(process.parentPid)) continue;
        const std::string name = LowerAscii(process.name);
        auto parent = names.find(process.parentPid);
        if (parent != names.end() && parent->second == name) continue;
        if (seen.insert(name).second || every) daemons.push_back(DaemonInfo(process));
    }
    return daemons;
}

}  // namespace zov
