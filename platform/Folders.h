#pragma once

#include <sys/types.h>

#include <string>

namespace zov {

// Creates one folder with exactly mode, whatever the umask. False (errno set) when mkdir fails.
bool MakeFolder(const std::string& folder, mode_t mode);

// Creates the folder and every missing parent, each new level with exactly mode. True when the folder
// exists afterwards, also when another thread or process created it meanwhile.
bool CreateFolderChain(const std::string& path, mode_t mode = 0755);

// The folder made private to this user (mode 0700): created with its missing parents (those with the
// usual modes), or narrowed when it is a real folder of ours with other modes. False (errno set) when it
// is a symbolic link (ELOOP), not a folder (EEXIST) or another user's folder (EPERM).
bool EnsurePrivateFolder(const std::string& folder);

}  // namespace zov
