#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FolderWalk.h"

// Folders used through an open descriptor, for walks and deletions that never follow a symbolic link: each
// level below the first is opened relative to its parent and refused when it is a link, so a folder
// swapped for a link during a walk leads nowhere else.
namespace zov {

// The kind of a folder entry, examined without following a link.
enum class EntryKind { Missing, Unreadable, Folder, File, Link, Other };

class FolderHandle {
  public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // The folder at path; links on the way are followed (the caller chose the path).
    static FolderHandle Open(const std::string& path);
    // The folder at path only when its last level is a folder itself, not a link to one.
    static FolderHandle OpenReal(const std::string& path);
    // The folder at the absolute path opened level by level from "/" (OpenFolderWalk): another user's link
    // on the way is refused; with MissingFolders::Make missing levels are made 0700.
    static FolderHandle OpenWalk(const std::string& path, MissingFolders missing);

    // False when the folder could not be opened (errno tells why).
    bool IsOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // The sub-folder name; not open when name is a link or not a folder.
    FolderHandle Child(const std::string& name) const;
    // The sub-folder name, made 0700 when missing; not open when name is a link or not a folder.
    FolderHandle MakeChild(const std::string& name) const;
    // Entry names without "." and "..", sorted by byte order; nullopt when they cannot be read.
    std::optional<std::vector<std::string>> List() const;
    // The names of List, none when they cannot be read.
    std::vector<std::string> Entries() const;
    EntryKind Kind(const std::string& name) const;
    // Removes entry name: a link or file is unlinked, a folder is emptied level by level through
    // descriptors and removed. Stops at the first failure. 0 or an errno value; EPERM for "", "." and "..".
    int Remove(const std::string& name) const;

  private:
    explicit FolderHandle(int fd) : fd_(fd) {}

    int fd_ = -1;
};

// The folder holding the last level of path (links on the way followed) and the name of that level, a
// trailing '/' ignored; the name is "" for the root. A relative path without '/' lies in ".".
struct PathInFolder {
    FolderHandle folder;
    std::string name;
};
PathInFolder OpenParent(const std::string& path);

// Removes the last level of path as FolderHandle::Remove does (a link is removed, never what it points to,
// also when path ends in '/'). 0 or an errno value.
int RemovePath(const std::string& path);

}  // namespace zov
