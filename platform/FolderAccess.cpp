#include "platform/FolderAccess.h"

#include <acl/libacl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace zov {
namespace {

// getpwent and getgrent walk one shared cursor.
std::mutex& DatabaseMutex() {
    static std::mutex mutex;
    return mutex;
}

bool Unsupported(int code) { return code == ENOTSUP || code == EOPNOTSUPP; }

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

class AclHolder {
  public:
    explicit AclHolder(acl_t acl) : acl_(acl) {}
    ~AclHolder() {
        if (acl_ != nullptr) acl_free(acl_);
    }
    AclHolder(const AclHolder&) = delete;
    AclHolder& operator=(const AclHolder&) = delete;
    acl_t& get() { return acl_; }

  private:
    acl_t acl_;
};

int GrantWithMode(const std::string& path, const struct stat& info, const AccessTrustee& who,
                  unsigned perms) {
    if (who.kind != AccessTrustee::Kind::Other) return ENOTSUP;
    return ::chmod(path.c_str(), (info.st_mode & 07777) | (perms & 07)) == 0 ? 0 : errno;
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
    AclHolder access(acl_get_file(path.c_str(), ACL_TYPE_ACCESS));
    if (access.get() == nullptr) return Unsupported(errno) ? GrantWithMode(path, info, who, perms) : errno;
    if (replace) DropNamedEntries(access.get());
    if (!AddPerms(access.get(), who, perms)) return errno != 0 ? errno : EINVAL;
    if (acl_set_file(path.c_str(), ACL_TYPE_ACCESS, access.get()) != 0) {
        return Unsupported(errno) ? GrantWithMode(path, info, who, perms) : errno;
    }
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

int AllowTraverseTo(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return errno;
    std::string folder(resolved);
    std::free(resolved);
    while (folder.size() > 1) {
        const std::size_t slash = folder.rfind('/');
        folder.resize(slash == 0 ? 1 : slash);
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) return errno;
        if ((info.st_mode & S_IXOTH) != 0) continue;
        if (::chmod(folder.c_str(), (info.st_mode & 07777) | S_IXOTH) != 0) return errno;
    }
    return 0;
}

}  // namespace zov
