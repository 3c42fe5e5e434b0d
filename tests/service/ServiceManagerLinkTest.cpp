#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "ServiceTestSupport.h"
#include "platform/SdNotify.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerLink.h"
#include "platform/ServiceManagerSupervisor.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

TEST(ServiceManagerLink, NotifiesSystemdOfEachState) {
    test::TempProgramDir dir;
    test::NotifyReceiver receiver(dir / "notify");
    ASSERT_TRUE(receiver.bound());
    setenv("NOTIFY_SOCKET", (dir / "notify").c_str(), 1);
    std::optional<ServiceManagerLink> link = ServiceManagerLink::FromEnvironment();
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(getenv("NOTIFY_SOCKET"), nullptr);  // not passed on to child processes

    const std::pair<int, const char*> cases[] = {
        {kServiceStartPending, "STATUS=Starting"},
        {kServiceRunning, "READY=1\nSTATUS=Running"},
        {kServiceStopPending, "STOPPING=1\nSTATUS=Stopping"},
        {kServiceStopped, "STATUS=Stopped"},
    };
    for (const auto& [state, message] : cases) {
        EXPECT_TRUE(link->ReportState(state));
        EXPECT_EQ(receiver.Receive(), message);
    }
}

TEST(ServiceManagerLink, ReachesAbstractSockets) {
    const std::string name = "@zovtest-notify-" + std::to_string(getpid());
    test::NotifyReceiver receiver(name);
    ASSERT_TRUE(receiver.bound());
    EXPECT_TRUE(SdNotify(name, "READY=1"));
    EXPECT_EQ(receiver.Receive(), "READY=1");
}

TEST(ServiceManagerLink, RefusesMissingOrMalformedSockets) {
    test::TempProgramDir dir;
    EXPECT_FALSE(SdNotify(dir / "nobody", "READY=1"));
    EXPECT_FALSE(SdNotify("", "READY=1"));
    EXPECT_FALSE(SdNotify("relative/socket", "READY=1"));
    EXPECT_FALSE(SdNotify("/" + std::string(200, 'x'), "READY=1"));
}

TEST(ServiceManagerLink, WritesTheLocalStatusFile) {
    test::TempProgramDir dir;
    setenv(kServiceStatusVariable, (dir / "svc.status").c_str(), 1);
    std::optional<ServiceManagerLink> link = ServiceManagerLink::FromEnvironment();
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(getenv(kServiceStatusVariable), nullptr);
    for (int state : {kServiceStartPending, kServiceRunning, kServiceStopPending, kServiceStopped}) {
        ASSERT_TRUE(link->ReportState(state));
        EXPECT_EQ(test::ReadFile(dir / "svc.status"),
                  std::to_string(getpid()) + " " + std::to_string(state) + "\n");
        std::optional<StatusRecord> record = ReadStatusRecord(dir / "svc.status");
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->pid, getpid());
        EXPECT_EQ(record->state, state);
    }
}

TEST(ServiceManagerLink, NoLinkOutsideAServiceManager) {
    unsetenv("NOTIFY_SOCKET");
    unsetenv(kServiceStatusVariable);
    EXPECT_FALSE(ServiceManagerLink::FromEnvironment().has_value());
}

}  // namespace
}  // namespace zov
