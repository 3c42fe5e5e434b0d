#pragma once

#include <string>

namespace zov {

// Reports an error the administrator must see, as one line: to syslog (LOG_ERR, under the ident the
// program opened) and to system.log (WriteSystemLog).
void LogSystemError(const std::string& text);

}  // namespace zov
