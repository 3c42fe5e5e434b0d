#include "engine/settings/SystemError.h"

#include <syslog.h>

#include "engine/settings/SystemLog.h"

namespace zov {

void LogSystemError(const std::string& text) {
    syslog(LOG_ERR, "%s", text.c_str());
    WriteSystemLog(text);
}

}  // namespace zov
