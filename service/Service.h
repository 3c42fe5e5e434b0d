#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "platform/ServiceManagerLink.h"

namespace zov {

// Control codes of the service.
inline constexpr int kControlStop = 1;
inline constexpr int kControlPause = 2;
inline constexpr int kControlContinue = 3;
inline constexpr int kControlInterrogate = 4;
inline constexpr int kControlShutdown = 5;
inline constexpr int kControlUserFirst = 128;
inline constexpr int kControlUserLast = 255;

// A service program: command line (install, uninstall, version) and, when a service manager started it,
// the service main on the main thread with the controls taken from signals on a thread of their own:
// SIGTERM and SIGINT stop, SIGUSR1 is the user code 128.
class CService {
  public:
    explicit CService(std::string name);
    virtual ~CService() = default;
    CService(const CService&) = delete;
    CService& operator=(const CService&) = delete;

    // Base: sleeps until the stop.
    virtual void Run();
    virtual bool Prepare() { return true; }
    virtual void HandleStop() {}
    virtual void HandleInterrogate() {}
    virtual void HandlePause() {}
    virtual void HandleContinue() {}
    virtual void HandleShutdown() {}
    // False: the code is not handled (reported as a bad request).
    virtual bool HandleUserCode(int /*code*/) { return true; }

    // The exit code after the work of "-install", "-uninstall" or "-version" (also with '/', any case);
    // nullopt when argv[1] is none of them.
    std::optional<int> ParseCommandLine(int argc, char** argv);
    bool IsServiceInstalled();
    // Stops the service (bounded) and deletes it.
    bool RemoveSelf();
    // Installs this program as an automatically started service that is restarted after a failure, and
    // asks for its start; true when installed (lastError() is then that of a refused start, or 0).
    bool InstallSelf();

    // Blocks the control signals in the calling thread and every thread it starts later; call before the
    // first thread is started.
    static void BlockControlSignals();
    // Runs the service main under the service manager of link; the process's exit code.
    int StartDispatcher(const ServiceManagerLink& link);

    void ReportServiceEvent(int type, int id, const std::string& text = "");

    const std::string& name() const { return name_; }
    int currentState() const;
    bool running() const { return running_; }
    // The code of the last failed install or removal (errno style).
    int lastError() const { return lastError_; }

    static constexpr int kVersionMajor = 1;
    static constexpr int kVersionMinor = 0;

  protected:
    // One control request, as the signal thread delivers it.
    void OnControl(int code);
    // Keeps the running flag until a stop clears it (and wakes its waiters).
    std::atomic<bool> running_{false};

  private:
    void ServiceMain();
    bool BeginService();
    void SetState(int state);
    void ReportStatus();

    std::string name_;
    int lastError_ = 0;
    mutable std::mutex statusMutex_;
    int state_;
    int exitCode_ = 0;
    const ServiceManagerLink* link_ = nullptr;
};

}  // namespace zov
