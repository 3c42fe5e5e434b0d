#include "engine/mssql/FolderAcl.h"

#include <string.h>

#include "engine/settings/SystemLog.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace zov {
namespace {

constexpr const char* kEveryone = "Everyone";
constexpr const char* kSystem = "SYSTEM";

// The entry of names equal to name (case ignored); nullptr when none is.
const std::string* Spelling(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& entry : names) {
        if (EqualsIgnoreAsciiCase(entry, name)) return &entry;
    }
    return nullptr;
}

std::vector<std::string> GroupsWithBuiltIns() {
    std::vector<std::string> groups = LocalGroupNames();
    groups.emplace_back(kSystem);
    groups.emplace_back(kEveryone);
    return groups;
}

std::string Reason(int code) {
    char buffer[256];
    return ::strerror_r(code, buffer, sizeof buffer);
}

}  // namespace

FolderAcl::FolderAcl() : users_(LocalUserNames()), groups_(GroupsWithBuiltIns()) {}

bool FolderAcl::IsUser(const std::string& name, bool refresh) {
    if (refresh) users_.clear();
    if (users_.empty()) users_ = LocalUserNames();
    return Spelling(users_, name) != nullptr;
}

bool FolderAcl::IsGroup(const std::string& name) {
    if (groups_.empty()) groups_ = GroupsWithBuiltIns();
    return Spelling(groups_, name) != nullptr;
}

std::optional<AccessTrustee> FolderAcl::Trustee(const std::string& account) {
    if (EqualsIgnoreAsciiCase(account, kEveryone)) return AccessTrustee{AccessTrustee::Kind::Other, 0};
    if (EqualsIgnoreAsciiCase(account, kSystem)) return AccessTrustee{AccessTrustee::Kind::User, 0};
    if (IsUser(account)) return FindUser(*Spelling(users_, account));
    if (IsGroup(account)) return FindGroup(*Spelling(groups_, account));
    return std::nullopt;
}

unsigned FolderAcl::Perms(unsigned mask, const std::string& path) {
    unsigned perms = 0;
    if ((mask & kGenericRead) != 0) perms |= kAccessRead | (IsDirectory(path) ? kAccessSearch : 0);
    if ((mask & kGenericWrite) != 0) perms |= kAccessWrite | (IsDirectory(path) ? kAccessSearch : 0);
    return perms;
}

bool FolderAcl::GrantAccess(const std::string& account, unsigned mask, const std::string& path) {
    const std::optional<AccessTrustee> who = Trustee(account);
    if (!who) return false;
    return zov::GrantAccess(path, *who, Perms(mask, path), true) == 0;
}

bool FolderAcl::SetExplicitAccess(const std::string& account, const std::string& path, unsigned mask,
                                  std::string& error, int, int inheritToChildren, int replace) {
    if (account.empty()) return false;
    const std::optional<AccessTrustee> who = Trustee(account);
    if (!who) {
        error = "用户名" + account + "无效";
        return false;
    }
    if (!FileExists(path)) {
        error = "待设置的目录" + path + "无效";
        return false;
    }
    const int code = zov::GrantAccess(path, *who, Perms(mask, path), inheritToChildren == 1, replace != 0);
    if (code != 0) {
        error = "设置权限失败。" + Reason(code);
        return false;
    }
    return true;
}

void GrantEveryoneAccess(const std::string& folder) {
    FolderAcl acl;
    std::string text = "设置用户Everyone对" + folder + "的读写权限";
    std::string error;
    if (acl.GrantAccess(kEveryone, kGenericRead | kGenericWrite, folder) ||
        acl.SetExplicitAccess(kEveryone, folder, kGenericRead | kGenericWrite, error, 1, 1, 0)) {
        text += "成功";
    } else {
        text += "失败" + error;
    }
    const int code = FileExists(folder) ? AllowTraverseTo(folder) : 0;
    if (code != 0) text += "，上级目录无法通行：" + Reason(code);
    WriteSystemLog(text, true, true);
}

}  // namespace zov
