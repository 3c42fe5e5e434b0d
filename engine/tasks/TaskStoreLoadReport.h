#pragma once

#include <string>
#include <vector>

#include "platform/FileVersion.h"

// What is wrong with a task.db just read, told to the administrator.
namespace zov {

// Once per version of the file at path (the service reloads it every few seconds), tells syslog and
// system.log the problem that kept it from being read (when not "") and every one of its records that
// does not parse or whose schedule can never run as written (NeverDueReason), with the reason.
void ReportTaskStoreLoad(const std::string& path, const FileVersion& version, const std::string& problem,
                         const std::vector<std::string>& records);

}  // namespace zov
