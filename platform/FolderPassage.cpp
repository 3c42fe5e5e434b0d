#include "platform/FolderPassage.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/AclHolder.h"

namespace zov {
namespace {

int Failure() { return AclUnsupported(errno) ? ENOTSUP : (errno != 0 ? errno : EINVAL); }

// The entries of an access ACL that decide for uid.
struct Entries {
    acl_entry_t owner = nullptr;
    acl_entry_t named = nullptr;  // uid's own entry
    acl_entry_t owningGroup = nullptr;
    acl_entry_t mask = nullptr;
    acl_entry_t other = nullptr;
    std::vector<std::pair<gid_t, acl_entry_t>> groups;  // the named groups
    std::vector<acl_entry_t> others;                    // the named entries but uid's own
    bool anyNamed = false;                              // a named user or group entry of anyone
};

template <typename Id>
bool Qualifier(acl_entry_t entry, Id& id) {
    void* qualifier = acl_get_qualifier(entry);
    if (qualifier == nullptr) return false;
    id = *static_cast<Id*>(qualifier);
    acl_free(qualifier);
    return true;
}

Entries EntriesOf(acl_t acl, uid_t uid) {
    Entries found;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        if (acl_get_tag_type(entry, &tag) != 0) continue;
        uid_t user = 0;
        gid_t group = 0;
        switch (tag) {
            case ACL_USER_OBJ:
                found.owner = entry;
                break;
            case ACL_USER:
                found.anyNamed = true;
                if (Qualifier(entry, user) && user == uid) {
                    found.named = entry;
                } else {
                    found.others.push_back(entry);
                }
                break;
            case ACL_GROUP_OBJ:
                found.owningGroup = entry;
                break;
            case ACL_GROUP:
                found.anyNamed = true;
                found.others.push_back(entry);
                if (Qualifier(entry, group)) found.groups.emplace_back(group, entry);
                break;
            case ACL_MASK:
                found.mask = entry;
                break;
            case ACL_OTHER:
                found.other = entry;
                break;
            default:
                break;
        }
    }
    return found;
}

bool Searches(acl_entry_t entry) {
    acl_permset_t permset;
    return entry != nullptr && acl_get_permset(entry, &permset) == 0 &&
           acl_get_perm(permset, ACL_EXECUTE) == 1;
}

bool SetSearch(acl_entry_t entry, bool search) {
    acl_permset_t permset;
    if (acl_get_permset(entry, &permset) != 0) return false;
    if ((search ? acl_add_perm(permset, ACL_EXECUTE) : acl_delete_perm(permset, ACL_EXECUTE)) != 0)
        return false;
    return acl_set_permset(entry, permset) == 0;
}

bool IsEmpty(acl_entry_t entry) {
    acl_permset_t permset;
    return acl_get_permset(entry, &permset) == 0 && acl_get_perm(permset, ACL_READ) == 0 &&
           acl_get_perm(permset, ACL_WRITE) == 0 && acl_get_perm(permset, ACL_EXECUTE) == 0;
}

// The POSIX ACL access check, for search only.
bool CanSearch(const Entries& entries, const struct stat& info, const Account& account) {
    if (account.uid == 0) return true;
    if (info.st_uid == account.uid) return Searches(entries.owner);
    const bool masked = entries.mask == nullptr || Searches(entries.mask);
    if (entries.named != nullptr) return masked && Searches(entries.named);
    auto member = [&account](gid_t gid) {
        return std::find(account.groups.begin(), account.groups.end(), gid) != account.groups.end();
    };
    bool inGroup = false;
    if (member(info.st_gid)) {
        inGroup = true;
        if (masked && Searches(entries.owningGroup)) return true;
    }
    for (const auto& [gid, entry] : entries.groups) {
        if (!member(gid)) continue;
        inGroup = true;
        if (masked && Searches(entry)) return true;
    }
    return !inGroup && Searches(entries.other);
}

// The access ACL of the folder at fd; one made from the mode where the file system keeps none.
acl_t ReadAcl(int fd, const struct stat& info) {
    acl_t acl = acl_get_fd(fd);
    if (acl == nullptr && AclUnsupported(errno)) acl = acl_from_mode(info.st_mode);
    return acl;
}

bool MakeEntry(acl_t& acl, acl_tag_t tag, const uid_t* uid) {
    acl_entry_t entry;
    if (acl_create_entry(&acl, &entry) != 0 || acl_set_tag_type(entry, tag) != 0) return false;
    if (uid != nullptr && acl_set_qualifier(entry, uid) != 0) return false;
    acl_permset_t permset;
    return acl_get_permset(entry, &permset) == 0 && acl_clear_perms(permset) == 0 &&
           acl_set_permset(entry, permset) == 0;
}

bool Has(const std::string& changes, char change) { return changes.find(change) != std::string::npos; }

int Write(int fd, acl_t acl) {
    if (acl_valid(acl) != 0) return EINVAL;
    return acl_set_fd(fd, acl) == 0 ? 0 : Failure();
}

}  // namespace

std::optional<std::string> PassageChanges(int folderFd, const Account& account) {
    struct stat info {};
    if (::fstat(folderFd, &info) != 0) return std::nullopt;
    AclHolder acl(ReadAcl(folderFd, info));
    if (acl.get() == nullptr) return std::nullopt;
    const Entries entries = EntriesOf(acl.get(), account.uid);
    if (CanSearch(entries, info, account)) return std::string();
    if (info.st_uid == account.uid) {
        errno = EACCES;
        return std::nullopt;
    }
    // Search added to the mask would count for every entry of the group class that has it.
    if (entries.mask != nullptr && !Searches(entries.mask) &&
        (Searches(entries.owningGroup) ||
         std::any_of(entries.others.begin(), entries.others.end(), Searches))) {
        errno = EPERM;
        return std::nullopt;
    }
    std::string changes;
    if (entries.named == nullptr) changes += kPassageEntryMade;
    if (entries.named != nullptr && !Searches(entries.named)) changes += kPassageEntrySearch;
    if (entries.mask == nullptr) changes += kPassageMaskMade;
    if (entries.mask != nullptr && !Searches(entries.mask)) changes += kPassageMaskSearch;
    return changes;
}

int AddPassage(int folderFd, uid_t uid, const std::string& changes) {
    AclHolder acl(acl_get_fd(folderFd));
    if (acl.get() == nullptr) return Failure();
    Entries entries = EntriesOf(acl.get(), uid);
    if (Has(changes, kPassageEntryMade) && entries.named == nullptr && !MakeEntry(acl.get(), ACL_USER, &uid))
        return Failure();
    const bool makeMask = Has(changes, kPassageMaskMade) && entries.mask == nullptr;
    if (makeMask && !MakeEntry(acl.get(), ACL_MASK, nullptr)) return Failure();
    entries = EntriesOf(acl.get(), uid);
    if (entries.named == nullptr || entries.mask == nullptr || entries.owningGroup == nullptr) return EINVAL;
    acl_permset_t groupBits;
    if (makeMask && (acl_get_permset(entries.owningGroup, &groupBits) != 0 ||
                     acl_set_permset(entries.mask, groupBits) != 0)) {
        return Failure();
    }
    if (!SetSearch(entries.named, true) || !SetSearch(entries.mask, true)) return Failure();
    return Write(folderFd, acl.get());
}

int RemovePassage(int folderFd, uid_t uid, const std::string& changes, bool keepMask) {
    AclHolder acl(acl_get_fd(folderFd));
    if (acl.get() == nullptr) return Failure();
    Entries entries = EntriesOf(acl.get(), uid);
    if (entries.named != nullptr && (Has(changes, kPassageEntryMade) || Has(changes, kPassageEntrySearch))) {
        if (!SetSearch(entries.named, false)) return Failure();
        if (Has(changes, kPassageEntryMade) && IsEmpty(entries.named) &&
            acl_delete_entry(acl.get(), entries.named) != 0)
            return Failure();
        entries = EntriesOf(acl.get(), uid);
    }
    if (!keepMask && entries.mask != nullptr) {
        if (Has(changes, kPassageMaskMade) && !entries.anyNamed) {
            if (acl_delete_entry(acl.get(), entries.mask) != 0) return Failure();
        } else if (Has(changes, kPassageMaskSearch) && !SetSearch(entries.mask, false)) {
            return Failure();
        }
    }
    return Write(folderFd, acl.get());
}

}  // namespace zov
