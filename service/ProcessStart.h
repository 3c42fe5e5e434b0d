#pragma once

#include <optional>

#include "platform/FileLock.h"
#include "service/SharedTaskStore.h"

namespace zov {

// The service's task store on task.db, first loaded at process start by the loader thread; the scheduler
// and the expired-backup thread share it.
SharedTaskStore& ServiceTaskStore();

// The single-instance lock "run/zovsvc.lock". Nullopt when another instance holds it or it cannot be
// made; the reason goes to the debug log. exitCode is the process's exit code in that case.
std::optional<FileLock> TakeInstanceLock(int& exitCode);

// Process start of the service: config.ini [LOG] "Dir" (and config.ini kept private when it holds the SQL
// Server password), the logs kept private, the passages of SQL Server runs cut short taken back, the task
// store loader thread, the daily sections of temp.ini.
void PrepareServiceProcess();

}  // namespace zov
