#include "service/LogCleanupThread.h"

#include "engine/logs/LogCleanup.h"
#include "platform/Clock.h"

namespace zov {

void RunLogCleanup(const std::stop_token& stop) {
    do {
        CleanOldLogs();
    } while (SleepUnlessStopped(stop, kLogCleanupInterval));
}

}  // namespace zov
