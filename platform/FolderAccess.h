#pragma once

#include <optional>
#include <string>
#include <vector>

// Access rights of files and folders for other accounts: POSIX ACLs (access and default ACL), with plain
// mode bits where a file system has no ACLs.
namespace zov {

// Who an access entry is for: a user or group id, or every other account (the other class).
struct AccessTrustee {
    enum class Kind { User, Group, Other };
    Kind kind = Kind::Other;
    unsigned id = 0;
};

// Permission bits of an entry.
inline constexpr unsigned kAccessRead = 4;
inline constexpr unsigned kAccessWrite = 2;
inline constexpr unsigned kAccessSearch = 1;

// The names of this computer's users and groups (passwd and group databases), in their order.
std::vector<std::string> LocalUserNames();
std::vector<std::string> LocalGroupNames();
std::optional<AccessTrustee> FindUser(const std::string& name);
std::optional<AccessTrustee> FindGroup(const std::string& name);

// Adds perms (kAccess* bits) for the trustee to the access ACL of path (links followed); replace drops the
// named user and group entries first. inherit, on a folder: the entry goes into its default ACL too (made
// from the access ACL when it has none), so what is created inside gets it. Where the file system has no
// ACLs the other class gets the bits with chmod (nothing is inherited then) and a named user or group
// fails with ENOTSUP. 0 or an errno value.
int GrantAccess(const std::string& path, const AccessTrustee& who, unsigned perms, bool inherit,
                bool replace = false);

// Gives the other class search (x) on every folder that holds path, up to the root, so that it can reach
// path; folders that have it are left alone. 0 or the first errno value.
int AllowTraverseTo(const std::string& path);

}  // namespace zov
