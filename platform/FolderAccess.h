#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// Access rights of files and folders for other accounts: POSIX ACLs (access and default ACL). Where a file
// system has no ACLs nothing is granted: rights are never widened through the mode bits instead.
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

// A local account as access checks see it.
struct Account {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // every group it belongs to, its own included
};
std::optional<Account> FindAccount(const std::string& name);

// Adds perms (kAccess* bits) for the trustee to the access ACL of path (links followed; "/proc/self/fd/N"
// names an open file); replace drops the named user and group entries first. inherit, on a folder: the
// entry goes into its default ACL too (made from the access ACL when it has none), so what is created
// inside gets it. 0 or an errno value; ENOTSUP where the file system has no ACLs.
int GrantAccess(const std::string& path, const AccessTrustee& who, unsigned perms, bool inherit,
                bool replace = false);

}  // namespace zov
