#include "engine/mssql/FolderAcl.h"

#include <string.h>

#include <atomic>
#include <cerrno>

#include "engine/mssql/SqlServerConnection.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/FolderHandle.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
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

constexpr const char* kPassageRecord = "server-passage";

std::atomic<bool> logSteps{false};

std::string Reason(int code) {
    char buffer[256];
    return ::strerror_r(code, buffer, sizeof buffer);
}

std::string Trouble(int code, const std::string& where) {
    if (code == ENOTSUP || code == EOPNOTSUPP) return where + " 所在的文件系统不支持ACL";
    if (code == EPERM) return where + " 的ACL无法只让该账户通行（其掩码会让其他账户一同通行）";
    return where + "：" + Reason(code);
}

// Why the account cannot be let into folder; "" once it is.
std::string OpenTo(const std::string& folder, const Account& account, TraverseGrant& passage) {
    if (account.uid == 0) return "";
    const FolderHandle handle = FolderHandle::OpenReal(folder);
    if (!handle.IsOpen()) return Trouble(errno, folder);
    const std::optional<std::string> run = PrivateRunFolder(ProgramDir());
    if (!run) return Trouble(errno, RunFolderOf(ProgramDir()));
    const int passed = passage.Grant(*run + kPassageRecord, folder, account);
    if (passed != 0) return Trouble(passed, passage.failedFolder());
    const AccessTrustee user{AccessTrustee::Kind::User, account.uid};
    const int code = GrantAccess("/proc/self/fd/" + std::to_string(handle.fd()), user,
                                 kAccessRead | kAccessWrite | kAccessSearch, true);
    if (code == 0) return "";
    passage.Release();
    return Trouble(code, folder);
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

bool GrantEveryoneAccess(const std::string& folder, TraverseGrant& passage, std::string& message) {
    const std::string name = SqlServerAccount();
    const std::optional<Account> account = FindAccount(name);
    const std::string why = account ? OpenTo(folder, *account, passage)
                                    : "数据库服务账户" + name + "不存在（config.ini [MSSQL] ServerAccount）";
    if (logSteps && !why.empty())
        WriteSystemLog(account ? "获取路径" + folder + "的DACL失败" : "获取用户" + name + "的SID失败", true,
                       true);
    const std::string text =
        "设置用户Everyone对" + folder + "的读写权限" + (why.empty() ? "成功" : "失败：" + why);
    WriteSystemLog(text, true, true);
    if (!why.empty()) message = text;
    return why.empty();
}

void LogAccessSteps(bool on) { logSteps = on; }

void ReleaseStaleServerAccess() {
    if (std::optional<std::string> run = PrivateRunFolder(ProgramDir()))
        SweepTraverseGrants(*run + kPassageRecord);
}

}  // namespace zov
