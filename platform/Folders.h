#pragma once

#include <string>

namespace zov {

// Creates the folder and every missing parent. True when the folder exists afterwards, also when
// another thread or process created it meanwhile.
bool CreateFolderChain(const std::string& path);

// The folder made private to this user (mode 0700): created with its missing parents (those with the
// usual modes), or narrowed when it is a real folder of ours with other modes. False (errno set) when it
// is a symbolic link (ELOOP), not a folder (EEXIST) or another user's folder (EPERM).
bool EnsurePrivateFolder(const std::string& folder);

}  // namespace zov
