#include "support/DaemonCopy.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/ProcFind.h"
#include "support/WaitUntil.h"

namespace zov::test {

std::vector<std::string> DaemonCopyArguments(const std::string& program,
                                             const std::vector<std::string>& extra) {
    std::vector<std::string> arguments{program, "-c", "kill -STOP $$; :"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

pid_t StartDaemonCopy(const std::string& program, const std::vector<std::string>& extra,
                      const std::string& user) {
    std::filesystem::create_directories(std::filesystem::path(program).parent_path());
    std::filesystem::copy_file("/bin/sh", program);
    std::vector<std::string> arguments = DaemonCopyArguments(program, extra);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const passwd* account = user.empty() ? nullptr : getpwnam(user.c_str());
    const uid_t uid = account != nullptr ? account->pw_uid : getuid();
    const gid_t gid = account != nullptr ? account->pw_gid : getgid();
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        if (!user.empty() &&
            (account == nullptr || setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            _exit(126);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    // exec makes /proc show the new image before its arguments.
    WaitUntil([&] {
        std::optional<ProcessInfo> info = ReadProcessInfo(pid);
        return info && info->imagePath == program && info->arguments == arguments;
    });
    return pid;
}

}  // namespace zov::test
