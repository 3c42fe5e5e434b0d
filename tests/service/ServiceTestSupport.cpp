#include "ServiceTestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/Paths.h"
#include "platform/ProcFind.h"
#include "platform/ServiceManagerSupervisor.h"
#include "platform/ServiceSupervision.h"

namespace zov::test {

using namespace std::chrono_literals;

ServiceTestFolder::ServiceTestFolder() {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    if (const char* backend = getenv("ZOV_SERVICE_BACKEND")) {
        previousBackend_ = backend;
        hadBackend_ = true;
    }
    setenv("ZOV_SERVICE_BACKEND", "local", 1);
    unsetenv("NOTIFY_SOCKET");
    unsetenv(kServiceStatusVariable);
}

ServiceTestFolder::~ServiceTestFolder() {
    KillRecordedServices(recordFolder());
    if (hadBackend_) {
        setenv("ZOV_SERVICE_BACKEND", previousBackend_.c_str(), 1);
    } else {
        unsetenv("ZOV_SERVICE_BACKEND");
    }
}

std::string ServiceTestFolder::InstallServiceProgram() {
    const std::string program = dir_ / "zovsvc";
    std::filesystem::copy_file(BuiltProgram("zovsvc"), program);
    std::filesystem::copy_file(BuiltProgram(kSupervisorProgram), dir_ / kSupervisorProgram);
    return program;
}

std::string ServiceTestFolder::WriteScript(const std::string& name, const std::string& body) {
    const std::string script = dir_ / name;
    WriteFile(script, "#!/bin/sh\n" + body);
    chmod(script.c_str(), 0755);
    return script;
}

std::vector<std::string> EnvironmentOf(pid_t pid) {
    std::vector<std::string> entries;
    const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/environ");
    for (size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
        entries.push_back(text.substr(start, end - start));
    std::sort(entries.begin(), entries.end());
    return entries;
}

NotifyReceiver::NotifyReceiver(const std::string& name) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), std::min(name.size(), sizeof address.sun_path));
    if (name.front() == '@') address.sun_path[0] = '\0';
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address),
                  static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size())) == 0;
}

NotifyReceiver::~NotifyReceiver() { close(fd_); }

std::string NotifyReceiver::Receive() {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 10000) != 1) return "(nothing)";
    char buffer[4096];
    ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
    return got < 0 ? "(error)" : std::string(buffer, static_cast<size_t>(got));
}

std::string ServiceScript() {
    return "report() { printf '%s %s\\n' $$ \"$1\" > \"$ZOV_SERVICE_STATUS.tmp\" && "
           "mv \"$ZOV_SERVICE_STATUS.tmp\" \"$ZOV_SERVICE_STATUS\"; }\n"
           "trap 'report 3; kill $sleeper; report 1; exit 0' TERM\n"
           "sleep 1000 & sleeper=$!\n"
           "report 4\n"
           "wait $sleeper\n";
}

std::string StubbornServiceScript() {
    return "trap '' TERM\n"
           "printf '%s 4\\n' $$ > \"$ZOV_SERVICE_STATUS\"\n"
           "while :; do sleep 1; done\n";
}

bool IsAlive(pid_t pid) { return ProcessStartTime(pid).has_value(); }

void KillRecordedServices(const std::string& recordFolder) {
    for (const std::string& entry : ListDirectory(recordFolder)) {
        if (!entry.ends_with(".supervisor")) continue;
        if (std::optional<SupervisorRecord> record = ReadSupervisorRecord(recordFolder + entry)) {
            if (IsProcessAlive(record->supervisorPid, record->supervisorStart))
                kill(record->supervisorPid, SIGKILL);
            if (IsProcessAlive(record->servicePid, record->serviceStart)) {
                kill(-record->servicePid, SIGKILL);
                kill(record->servicePid, SIGKILL);
            }
        }
    }
    AllChildrenEnded();
}

bool AllChildrenEnded(std::chrono::milliseconds timeout) {
    auto reap = [] {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    };
    const bool ended = WaitUntil(
        [&] {
            reap();
            return LiveChildren().empty();
        },
        timeout);
    reap();
    return ended;
}

std::vector<pid_t> LiveChildren() {
    std::vector<pid_t> children;
    for (const ProcessInfo& process : ListProcesses()) {
        if (process.parentPid == getpid()) children.push_back(process.pid);
    }
    return children;
}

}  // namespace zov::test
