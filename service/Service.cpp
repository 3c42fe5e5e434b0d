#include "service/Service.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <thread>
#include <utility>

#include "platform/ServiceManager.h"
#include "service/ServiceEvents.h"

namespace zov {
namespace {

sigset_t ControlSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGTERM, SIGINT, SIGUSR1}) sigaddset(&signals, sig);
    return signals;
}

int ControlOf(int sig) { return sig == SIGUSR1 ? kControlUserFirst : kControlStop; }

}  // namespace

CService::CService(std::string name) : name_(std::move(name)), state_(kServiceStopped) {}

void CService::Run() { running_.wait(true); }

void CService::BlockControlSignals() {
    sigset_t signals = ControlSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

int CService::StartDispatcher(const ServiceManagerLink& link) {
    link_ = &link;
    // Set before the controls arrive, so that a stop during the start is not lost.
    running_ = true;
    std::atomic<bool> done{false};
    std::thread controls([this, &done] {
        const sigset_t signals = ControlSignals();
        for (;;) {
            int sig = 0;
            if (sigwait(&signals, &sig) != 0) continue;
            if (done) return;
            OnControl(ControlOf(sig));
        }
    });
    ServiceMain();
    done = true;
    pthread_kill(controls.native_handle(), SIGTERM);
    controls.join();
    link_ = nullptr;
    return exitCode_ == 0 ? 0 : 1;
}

void CService::ServiceMain() {
    SetState(kServiceStartPending);
    if (BeginService()) Run();
    SetState(kServiceStopped);
}

bool CService::BeginService() {
    SetState(kServiceStartPending);
    errno = 0;
    const bool prepared = Prepare();
    {
        std::lock_guard lock(statusMutex_);
        exitCode_ = prepared ? 0 : (errno != 0 ? errno : 1);
    }
    if (!prepared) {
        ReportServiceEvent(kEventError, kEventInitFailed);
        SetState(kServiceStopped);
        return false;
    }
    ReportServiceEvent(kEventInformation, kEventInitialised);
    // Checked under the status lock: a stop that already reported its pending state keeps it.
    std::lock_guard lock(statusMutex_);
    if (running_ && state_ == kServiceStartPending) {
        state_ = kServiceRunning;
        if (link_ != nullptr) link_->ReportState(state_);
    }
    return true;
}

void CService::OnControl(int code) {
    switch (code) {
        case kControlStop:
            SetState(kServiceStopPending);
            HandleStop();
            running_ = false;
            running_.notify_all();
            ReportServiceEvent(kEventInformation, kEventStopped);
            break;
        case kControlPause:
            HandlePause();
            break;
        case kControlContinue:
            HandleContinue();
            break;
        case kControlInterrogate:
            HandleInterrogate();
            break;
        case kControlShutdown:
            HandleShutdown();
            break;
        default:
            if (code >= kControlUserFirst && code <= kControlUserLast && HandleUserCode(code)) break;
            ReportServiceEvent(kEventError, kEventBadRequest, std::to_string(code));
            break;
    }
    ReportStatus();
}

void CService::SetState(int state) {
    std::lock_guard lock(statusMutex_);
    state_ = state;
    if (link_ != nullptr) link_->ReportState(state_);
}

void CService::ReportStatus() {
    std::lock_guard lock(statusMutex_);
    if (link_ != nullptr) link_->ReportState(state_);
}

int CService::currentState() const {
    std::lock_guard lock(statusMutex_);
    return state_;
}

void CService::ReportServiceEvent(int type, int id, const std::string& text) {
    WriteServiceEvent(name_, type, id,
                      text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text});
}

}  // namespace zov
