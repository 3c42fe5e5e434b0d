#include "platform/Shell.h"

#include <atomic>
#include <chrono>
#include <utility>

#include "platform/ProcessRunner.h"

namespace zov {

namespace {

// How long the opener's answer is waited for; one still running then has started an application.
constexpr std::chrono::seconds kAnswerWait{2};

std::atomic<Shell*>& InstalledShell() {
    static std::atomic<Shell*> shell{nullptr};
    return shell;
}

}  // namespace

XdgOpenShell::XdgOpenShell(std::string opener) : opener_(std::move(opener)) {}

bool XdgOpenShell::Open(const std::string& target) {
    if (target.empty()) return false;
    // "setsid -f -w" runs the opener in a session of its own and passes on its exit status (127 when it
    // is missing). The time-out ends only setsid: the opener, outside its process group, goes on.
    ProcessOptions options;
    options.timeout = kAnswerWait;
    const ProcessResult result = RunProcess({"setsid", "-f", "-w", opener_, target}, options);
    return result.Succeeded() || result.timedOut;
}

Shell& CurrentShell() {
    static XdgOpenShell systemShell;
    Shell* installed = InstalledShell().load();
    return installed != nullptr ? *installed : systemShell;
}

void SetShell(Shell* shell) { InstalledShell().store(shell); }

}  // namespace zov
