#pragma once

#include <string>

namespace zov {

// Event id of the errors below.
inline constexpr int kEventServiceError = 110;

// An error of the service's run bookkeeping: written to system.log and, as an error event, to syslog.
void LogServiceError(const std::string& text);

}  // namespace zov
