#pragma once

#include <string>

namespace zov {

// The port is 64-bit: there is no 32-bit emulation layer.
bool IsWow64();

// Opens a folder in the desktop's file manager through the current Shell. False when path is not a folder
// or the shell could not open it.
bool OpenFolder(const std::string& path);

}  // namespace zov
