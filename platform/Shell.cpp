#include "platform/Shell.h"

#include <atomic>
#include <chrono>

#include "platform/ProcessRunner.h"

namespace zov {

namespace {

constexpr std::chrono::seconds kStartTimeout{10};

std::atomic<Shell*>& InstalledShell() {
    static std::atomic<Shell*> shell{nullptr};
    return shell;
}

}  // namespace

bool XdgOpenShell::Open(const std::string& target) {
    if (target.empty()) return false;
    // xdg-open may wait for the application it starts; "setsid -f" detaches it in a session of its own, so
    // the caller never waits for it and a time-out never kills it.
    ProcessOptions options;
    options.timeout = kStartTimeout;
    return RunProcess({"setsid", "-f", "xdg-open", target}, options).Succeeded();
}

Shell& CurrentShell() {
    static XdgOpenShell systemShell;
    Shell* installed = InstalledShell().load();
    return installed != nullptr ? *installed : systemShell;
}

void SetShell(Shell* shell) { InstalledShell().store(shell); }

}  // namespace zov
