#pragma once

#include <sys/types.h>

#include <string>

// Folders opened for root inside trees other users may write to (restore targets): every level is opened
// by descriptor from "/", so a folder swapped for a link leads nowhere else.
namespace zov {

enum class MissingFolders { Fail, Make };

// An O_DIRECTORY descriptor (close-on-exec) of the absolute path, opened one level at a time from "/". A
// level that is a symbolic link is followed only when only root could have made it and only root can
// change it: the link belongs to root and so does the folder holding it, which no one else may write to
// unless it is sticky (links such as /var/run keep working). Any other link ends the walk with ELOOP. With
// MissingFolders::Make, missing levels are made with mode. -1 with errno set on failure (EINVAL for a
// relative path).
int OpenFolderWalk(const std::string& path, MissingFolders missing, mode_t mode = 0700);

}  // namespace zov
