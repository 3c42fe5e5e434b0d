#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "engine/tasks/RunStart.h"

namespace zov::test {

// A run at once in a process of its own, as the management program runs it: marked through HandRun, a
// work folder of its set begun, then waiting until it is killed.
class HandRunProcess {
  public:
    HandRunProcess(const TaskInfo& task, std::time_t now, const std::string& workFolder) {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            HandRun run(task, now);
            std::error_code error;
            const bool begun =
                run.state() == RunStart::Started && std::filesystem::create_directories(workFolder, error);
            const char answer = begun ? 'y' : 'n';
            (void)!write(pipeFds[1], &answer, 1);
            for (;;) pause();
        }
        close(pipeFds[1]);
        pollfd ready{pipeFds[0], POLLIN, 0};
        char answer = 0;
        begun_ =
            pid_ > 0 && poll(&ready, 1, 10000) == 1 && read(pipeFds[0], &answer, 1) == 1 && answer == 'y';
        close(pipeFds[0]);
    }
    ~HandRunProcess() { Kill(); }
    HandRunProcess(const HandRunProcess&) = delete;
    HandRunProcess& operator=(const HandRunProcess&) = delete;

    bool begun() const { return begun_; }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    bool begun_ = false;
};

}  // namespace zov::test
