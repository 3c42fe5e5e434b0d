#include "platform/FolderAccess.h"

#include <acl/libacl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <mutex>

#include "platform/AclHolder.h"

namespace zov {
namespace {

// getpwent and getgrent walk one shared cursor.
std::mutex& DatabaseMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr const char* kAccessAclName = "system.posix_acl_access";

acl_tag_t TagOf(const AccessTrustee& who) {
    switch (who.kind) {
        case AccessTrustee::Kind::User:
            return ACL_USER;
        case AccessTrustee::Kind::Group:
            return ACL_GROUP;
        case AccessTrustee::Kind::Other:
            break;
    }
    return ACL_OTHER;
}

// The trustee's entry of acl, made when missing; false on failure.
bool FindOrAddEntry(acl_t& acl, const AccessTrustee& who, acl_entry_t& found) {
    const acl_tag_t tag = TagOf(who);
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t entryTag;
        if (acl_get_tag_type(entry, &entryTag) != 0 || entryTag != tag) continue;
        if (tag == ACL_OTHER) {
            found = entry;
            return true;
        }
        void* qualifier = acl_get_qualifier(entry);
        const bool same =
            qualifier != nullptr && (tag == ACL_USER ? *static_cast<uid_t*>(qualifier) == who.id
                                                     : *static_cast<gid_t*>(qualifier) == who.id);
        acl_free(qualifier);
        if (same) {
            found = entry;
            return true;
        }
    }
    if (acl_create_entry(&acl, &found) != 0 || acl_set_tag_type(found, tag) != 0) return false;
    if (tag == ACL_OTHER) return true;
    const id_t id = who.id;
    return acl_set_qualifier(found, &id) == 0;
}

bool AddPerms(acl_t& acl, const AccessTrustee& who, unsigned perms) {
    acl_entry_t entry;
    acl_permset_t permset;
    if (!FindOrAddEntry(acl, who, entry) || acl_get_permset(entry, &permset) != 0) return false;
    if ((perms & kAccessRead) != 0) acl_add_perm(permset, ACL_READ);
    if ((perms & kAccessWrite) != 0) acl_add_perm(permset, ACL_WRITE);
    if ((perms & kAccessSearch) != 0) acl_add_perm(permset, ACL_EXECUTE);
    if (acl_set_permset(entry, permset) != 0) return false;
    return who.kind == AccessTrustee::Kind::Other || acl_calc_mask(&acl) == 0;
}

void DropNamedEntries(acl_t acl) {
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) == 0 && (tag == ACL_USER || tag == ACL_GROUP)) {
            acl_delete_entry(acl, entry);
        }
    }
}

}  // namespace

std::vector<std::string> LocalUserNames() {
    std::lock_guard lock(DatabaseMutex());
    std::vector<std::string> names;
    setpwent();
    while (const passwd* entry = getpwent()) names.emplace_back(entry->pw_name);
    endpwent();
    return names;
}

std::vector<std::string> LocalGroupNames() {
    std::lock_guard lock(DatabaseMutex());
    std::vector<std::string> names;
    setgrent();
    while (const group* entry = getgrent()) names.emplace_back(entry->gr_name);
    endgrent();
    return names;
}

std::optional<AccessTrustee> FindUser(const std::string& name) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[16384];
    if (getpwnam_r(name.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
    return AccessTrustee{AccessTrustee::Kind::User, found->pw_uid};
}

std::optional<Account> FindAccount(const std::string& name) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[16384];
    if (getpwnam_r(name.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
    Account account{found->pw_name, found->pw_uid, found->pw_gid, {}};
    int count = 16;
    for (;;) {
        account.groups.resize(static_cast<std::size_t>(count));
        const int listed = count;
        if (getgrouplist(found->pw_name, found->pw_gid, account.groups.data(), &count) >= 0) {
            account.groups.resize(static_cast<std::size_t>(count));
            return account;
        }
        if (count <= listed) return {};
    }
}

std::optional<AccessTrustee> FindGroup(const std::string& name) {
    group entry{};
    group* found = nullptr;
    char buffer[16384];
    if (getgrnam_r(name.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
    return AccessTrustee{AccessTrustee::Kind::Group, found->gr_gid};
}

int GrantAccess(const std::string& path, const AccessTrustee& who, unsigned perms, bool inherit,
                bool replace) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno;
    // Where the file system keeps no ACLs, libacl would write one the mode bits can express with chmod.
    if (::getxattr(path.c_str(), kAccessAclName, nullptr, 0) < 0 && AclUnsupported(errno)) return ENOTSUP;
    AclHolder access(acl_get_file(path.c_str(), ACL_TYPE_ACCESS));
    if (access.get() == nullptr) return AclUnsupported(errno) ? ENOTSUP : errno;
    if (replace) DropNamedEntries(access.get());
    if (!AddPerms(access.get(), who, perms)) return errno != 0 ? errno : EINVAL;
    if (acl_set_file(path.c_str(), ACL_TYPE_ACCESS, access.get()) != 0)
        return AclUnsupported(errno) ? ENOTSUP : errno;
    if (!inherit || !S_ISDIR(info.st_mode)) return 0;
    AclHolder inherited(acl_get_file(path.c_str(), ACL_TYPE_DEFAULT));
    if (inherited.get() == nullptr) return errno;
    if (acl_entries(inherited.get()) == 0) {
        acl_free(inherited.get());
        inherited.get() = acl_dup(access.get());
        if (inherited.get() == nullptr) return errno;
    } else {
        if (replace) DropNamedEntries(inherited.get());
        if (!AddPerms(inherited.get(), who, perms)) return errno != 0 ? errno : EINVAL;
    }
    return acl_set_file(path.c_str(), ACL_TYPE_DEFAULT, inherited.get()) == 0 ? 0 : errno;
}

}  // namespace zov
