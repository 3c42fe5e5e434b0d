#pragma once

namespace zov::rar {

// SIGINT and SIGTERM only raise a flag; long loops poll it and unwind (interrupted system calls return).
void InstallInterruptHandlers();
bool Interrupted();

}  // namespace zov::rar
