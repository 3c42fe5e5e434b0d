#include "service/ServiceErrors.h"

#include "engine/SystemLog.h"
#include "service/MyService.h"
#include "service/ServiceEvents.h"

namespace zov {

void LogServiceError(const std::string& text) {
    WriteSystemLog(text);
    WriteServiceEvent(kBackupServiceName, kEventError, kEventServiceError, {text});
}

}  // namespace zov
