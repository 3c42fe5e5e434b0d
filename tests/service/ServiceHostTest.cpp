#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "ServiceTestSupport.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerLink.h"
#include "platform/ServiceManagerSupervisor.h"
#include "service/Service.h"

namespace zov {
namespace {

using test::WaitUntil;

// A stop that arrives while Prepare runs: its stop handler is still busy when the start finishes.
class StoppedWhileStarting : public CService {
  public:
    StoppedWhileStarting() : CService("RaceSvc") {}

    bool Prepare() override {
        stopper_ = std::thread([this] { OnControl(kControlStop); });
        return WaitUntil([this] { return currentState() == kServiceStopPending; });
    }
    void HandleStop() override {
        WaitUntil([this] { return released_.load(); });
    }
    void Run() override {
        stateInRun = currentState();
        released_ = true;
        stopper_.join();
    }

    std::optional<int> stateInRun;

  private:
    std::thread stopper_;
    std::atomic<bool> released_{false};
};

TEST(ServiceHost, AStopDuringTheStartIsNotReportedAsRunning) {
    test::ServiceTestFolder dir;
    sigset_t previous;
    pthread_sigmask(SIG_SETMASK, nullptr, &previous);
    CService::BlockControlSignals();
    setenv(kServiceStatusVariable, (dir / "status").c_str(), 1);
    std::optional<ServiceManagerLink> link = ServiceManagerLink::FromEnvironment();
    ASSERT_TRUE(link.has_value());

    StoppedWhileStarting service;
    EXPECT_EQ(service.StartDispatcher(*link), 0);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    EXPECT_EQ(service.stateInRun, kServiceStopPending);
    EXPECT_EQ(service.currentState(), kServiceStopped);
    EXPECT_FALSE(service.running());
}

}  // namespace
}  // namespace zov
