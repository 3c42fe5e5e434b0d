#include "engine/util/CommonSystem.h"

#include "platform/Paths.h"
#include "platform/Shell.h"

namespace zov {

bool IsWow64() { return false; }

bool OpenFolder(const std::string& path) { return IsDirectory(path) && CurrentShell().Open(path); }

}  // namespace zov
