#include "platform/ServiceManagerLink.h"

#include <stdlib.h>
#include <unistd.h>

#include "platform/SdNotify.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerSupervisor.h"

namespace zov {
namespace {

constexpr const char* kNotifySocketVariable = "NOTIFY_SOCKET";

std::string TakeVariable(const char* name) {
    const char* value = getenv(name);
    std::string text = value != nullptr ? value : "";
    unsetenv(name);
    return text;
}

}  // namespace

std::optional<ServiceManagerLink> ServiceManagerLink::FromEnvironment() {
    ServiceManagerLink link;
    link.notifySocket_ = TakeVariable(kNotifySocketVariable);
    link.statusFile_ = TakeVariable(kServiceStatusVariable);
    if (link.notifySocket_.empty() && link.statusFile_.empty()) return std::nullopt;
    return link;
}

std::string ServiceManagerLink::NotifyMessage(int state) {
    switch (state) {
        case kServiceStartPending:
            return "STATUS=Starting";
        case kServiceRunning:
            return "READY=1\nSTATUS=Running";
        case kServiceStopPending:
            return "STOPPING=1\nSTATUS=Stopping";
        default:
            return "STATUS=Stopped";
    }
}

bool ServiceManagerLink::ReportState(int state) const {
    if (!notifySocket_.empty()) return SdNotify(notifySocket_, NotifyMessage(state));
    return WriteStatusRecord(statusFile_, getpid(), state);
}

}  // namespace zov
