#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zov::test {

// Runs check in a forked child acting as user (its group, no supplementary groups); true when check returned
// true there. False when the child could not become user.
inline bool AsUser(const char* user, const std::function<bool()>& check) {
    const passwd* account = getpwnam(user);
    if (account == nullptr) return false;
    const uid_t uid = account->pw_uid;
    const gid_t gid = account->pw_gid;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// AsUser("nobody", check).
inline bool AsNobody(const std::function<bool()>& check) { return AsUser("nobody", check); }

}  // namespace zov::test
