#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/FolderAccess.h"

// Passage (search, "--x") for one account through a folder, by a named-user ACL entry: never through the
// other class or the mode bits. Folders are used through open descriptors.
namespace zov {

// What giving passage changes on a folder, so that it can be taken back exactly: each letter one change.
inline constexpr char kPassageEntryMade = 'e';    // the named-user entry was made ("--x")
inline constexpr char kPassageEntrySearch = 'x';  // search was added to the account's entry
inline constexpr char kPassageMaskMade = 'm';     // the mask entry was made (the owning group's bits + x)
inline constexpr char kPassageMaskSearch = 'k';   // search was added to the mask

// The changes that let account pass through the folder at fd: "" when it can already (as owner, named user,
// member of a group or other, by the POSIX ACL check). Nullopt with errno set when it cannot be given:
// EACCES when the account owns the folder (its owner entry decides; that is not changed for it); EPERM when
// the mask lacks search that another entry of the group class has, which would then count for it too.
std::optional<std::string> PassageChanges(int folderFd, const Account& account);

// Makes the changes on the folder at fd for uid. 0 or an errno value; ENOTSUP where the file system has no
// ACLs.
int AddPassage(int folderFd, uid_t uid, const std::string& changes);

// Takes back changes made by AddPassage: search leaves the account's entry (the entry goes when it made it
// and nothing else is left in it); with keepMask the mask stays as it is (another account's passage may
// need it), otherwise search leaves it, or it goes when it made it and no named entry is left. 0 or an
// errno value.
int RemovePassage(int folderFd, uid_t uid, const std::string& changes, bool keepMask);

}  // namespace zov
