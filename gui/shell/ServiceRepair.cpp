#include "gui/shell/ServiceRepair.h"

#include <chrono>
#include <vector>

#include "engine/control/ServiceCtrl.h"
#include "platform/Clock.h"
#include "platform/ProcFind.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr auto kStepPause = 1000ms;
constexpr auto kProcessPoll = 200ms;
constexpr int kProcessPolls = 25;

// Whether the program came up: polled for a few seconds, since a start request returns before it runs.
bool ServiceProgramCameUp(const std::stop_token& stop) {
    for (int poll = 0; poll < kProcessPolls; ++poll) {
        if (ServiceProgramRuns()) return true;
        if (!SleepUnlessStopped(stop, kProcessPoll)) return false;
    }
    return ServiceProgramRuns();
}

}  // namespace

std::string ServiceProgramPath() { return ProgramDir() + kServiceProgramName; }

bool ServiceProgramRuns() {
    const std::vector<ProcessInfo> processes = ListProcesses();
    if (processes.empty()) return true;
    const std::string program = ServiceProgramPath();
    for (const ProcessInfo& process : processes) {
        if (process.name == kServiceProgramName && process.imagePath == program) return true;
    }
    return false;
}

bool RepairService(const std::stop_token& stop) {
    const std::string program = ServiceProgramPath();
    CServiceCtrl control;
    StopServiceWait(kBackupServiceName);
    if (!SleepUnlessStopped(stop, kStepPause)) return false;
    control.DeleteService(kBackupServiceName);
    if (!SleepUnlessStopped(stop, kStepPause)) return false;
    control.StartStopService(kBackupServiceName, false, program, true);
    if (!SleepUnlessStopped(stop, kStepPause)) return false;
    control.StartStopService(kBackupServiceName, true);
    if (!SleepUnlessStopped(stop, kStepPause)) return false;
    const bool restartSet = control.SetRestartOnFailure(kBackupServiceName);
    return restartSet && ServiceProgramCameUp(stop);
}

}  // namespace zov::gui
