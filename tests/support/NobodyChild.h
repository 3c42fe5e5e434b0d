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

// The user "nobody" and its group, looked up before a fork (the lookup is not safe in a forked child).
inline std::optional<UserIds> NobodyIds() {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) return std::nullopt;
    return UserIds{nobody->pw_uid, nobody->pw_gid};
}

// In a forked child: becomes the user (its group, no supplementary groups); false when it could not.
inline bool BecomeUser(const UserIds& user) {
    return setgroups(0, nullptr) == 0 && setgid(user.gid) == 0 && setuid(user.uid) == 0;
}

// Runs check in a forked child acting as the user "nobody"; true when check returned true there. False when
// the child could not become nobody.
inline bool AsNobody(const std::function<bool()>& check) {
    const std::optional<UserIds> nobody = NobodyIds();
    if (!nobody) return false;
    const pid_t child = fork();
    if (child == 0) {
        if (!BecomeUser(*nobody)) _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace zov::test
