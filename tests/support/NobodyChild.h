#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>

namespace zov::test {

struct UserIds {
    uid_t uid;
    gid_t gid;
};

// A user and its group, looked up before a fork (the lookup is not safe in a forked child).
inline std::optional<UserIds> UserIdsOf(const char* user) {
    const passwd* account = getpwnam(user);
    if (account == nullptr) return std::nullopt;
    return UserIds{account->pw_uid, account->pw_gid};
}

inline std::optional<UserIds> NobodyIds() { return UserIdsOf("nobody"); }

// In a forked child: becomes the user (its group, no supplementary groups); false when it could not.
inline bool BecomeUser(const UserIds& user) {
    return setgroups(0, nullptr) == 0 && setgid(user.gid) == 0 && setuid(user.uid) == 0;
}

// Runs check in a forked child acting as user; true when check returned true there. False when the child
// could not become user.
inline bool AsUser(const char* user, const std::function<bool()>& check) {
    const std::optional<UserIds> ids = UserIdsOf(user);
    if (!ids) return false;
    const pid_t child = fork();
    if (child == 0) {
        if (!BecomeUser(*ids)) _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// AsUser("nobody", check).
inline bool AsNobody(const std::function<bool()>& check) { return AsUser("nobody", check); }

}  // namespace zov::test
