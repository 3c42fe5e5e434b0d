#pragma once

#include <string>

namespace zov {

// Creates the folder and every missing parent. True when the folder exists afterwards, also when
// another thread or process created it meanwhile.
bool CreateFolderChain(const std::string& path);

}  // namespace zov
