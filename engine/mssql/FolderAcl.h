#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FolderAccess.h"
#include "platform/TraverseGrant.h"

// Access rights of folders for other accounts. "Everyone" is every other account (the other class),
// "SYSTEM" the root account; other names are this computer's users and groups. Read and write on a
// folder is rwx; what a folder passes on to what is created inside is its default ACL.
namespace zov {

// Access masks.
inline constexpr unsigned kGenericRead = 0x80000000u;
inline constexpr unsigned kGenericWrite = 0x40000000u;

class FolderAcl {
  public:
    // Fills the user and group lists.
    FolderAcl();

    const std::vector<std::string>& users() const { return users_; }
    // The groups, then "SYSTEM" and "Everyone".
    const std::vector<std::string>& groups() const { return groups_; }

    // Whether the list holds name (ASCII case ignored); refresh reads the users anew, an empty list is
    // read before the search.
    bool IsUser(const std::string& name, bool refresh = false);
    bool IsGroup(const std::string& name);

    // Adds the mask for the account to path, passed on to what is created inside a folder.
    bool GrantAccess(const std::string& account, unsigned mask, const std::string& path);

    // The same, checked: the account must be a user or group ("用户名%s无效") and the path must exist
    // ("待设置的目录%s无效"). inheritToChildren passes the right on; replace drops the named entries
    // first; inheritFromParent has no counterpart here. False with error set ("设置权限失败。").
    bool SetExplicitAccess(const std::string& account, const std::string& path, unsigned mask,
                           std::string& error, int inheritFromParent, int inheritToChildren, int replace);

  private:
    // The account as this computer spells it (case ignored); nullopt when it is unknown.
    std::optional<AccessTrustee> Trustee(const std::string& account);
    static unsigned Perms(unsigned mask, const std::string& path);

    std::vector<std::string> users_;
    std::vector<std::string> groups_;
};

// Opens a work folder of ours to the SQL Server's own account (SqlServerAccount), the only one that needs
// it to write and read backup files there: a named-user ACL entry rwx on folder, passed on to what is
// created inside, and passage (--x) through the folders above it held by passage (TraverseGrant) until it
// is released or destroyed. No other account gets in; the other class is never changed. One line in the
// debug log tells the outcome ("设置用户Everyone对<folder>的读写权限成功", or "失败：" and why). False with
// message set to that line when the account is unknown or a folder cannot be given the entry (a file
// system without ACLs, for one).
bool GrantEveryoneAccess(const std::string& folder, TraverseGrant& passage, std::string& message);

// The management program's GrantEveryoneAccess also names the step that failed in the debug log, before its
// outcome line: "获取用户<account>的SID失败" for an unknown account, "获取路径<folder>的DACL失败" when the
// folder's entries could not be read or set. Off until the program turns it on at its start.
void LogAccessSteps(bool on);

// Takes back the passages of runs that ended without releasing them (a crash); for the service's start.
void ReleaseStaleServerAccess();

}  // namespace zov
