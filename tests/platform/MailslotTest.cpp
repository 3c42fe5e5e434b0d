#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/Mailslot.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using std::chrono::milliseconds;

TEST(MailslotTest, NameIsShortAndDependsOnFolderAndSlot) {
    std::string name = MailslotName("/opt/zov/", "StateLog");
    EXPECT_EQ(name.rfind("zov-", 0), 0u);
    EXPECT_LT(name.size(), 107u);
    EXPECT_EQ(name, MailslotName("/opt/zov", "StateLog"));
    EXPECT_NE(name, MailslotName("/opt/zov2/", "StateLog"));
    EXPECT_NE(name, MailslotName("/opt/zov/", "UpdateLog"));
}

TEST(MailslotTest, ReaderReceivesWholeMessagesInOrder) {
    test::TempProgramDir dir;
    MailslotReader reader(dir.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    const std::string longMessage(399, 'x');
    for (std::string message :
         {std::string("正在备份 /data"), std::string(), longMessage, std::string("<cmd>3684</cmd>")}) {
        EXPECT_TRUE(MailslotWrite(dir.path(), "StateLog", message));
        std::optional<std::string> received = reader.Receive(milliseconds(1000));
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(*received, message);
    }
    EXPECT_FALSE(reader.Receive(milliseconds(50)).has_value());
}

TEST(MailslotTest, SlotsAndFoldersAreSeparate) {
    test::TempProgramDir dir;
    test::TempProgramDir other;
    MailslotReader state(dir.path(), "StateLog");
    MailslotReader update(dir.path(), "UpdateLog");
    ASSERT_TRUE(state.bound());
    ASSERT_TRUE(update.bound());
    EXPECT_TRUE(MailslotWrite(dir.path(), "UpdateLog", "u"));
    EXPECT_FALSE(MailslotWrite(other.path(), "StateLog", "elsewhere"));
    EXPECT_EQ(update.Receive(milliseconds(1000)), "u");
    EXPECT_FALSE(state.Receive(milliseconds(50)).has_value());
}

TEST(MailslotTest, SecondReaderFailsAndSlotIsFreedAfterwards) {
    test::TempProgramDir dir;
    {
        MailslotReader first(dir.path(), "StateLog");
        ASSERT_TRUE(first.bound());
        MailslotReader second(dir.path(), "StateLog");
        EXPECT_FALSE(second.bound());
        EXPECT_FALSE(second.Receive(milliseconds(10)).has_value());
    }
    MailslotReader again(dir.path(), "StateLog");
    EXPECT_TRUE(again.bound());
}

TEST(MailslotTest, WriterWithoutReaderFailsAtOnce) {
    test::TempProgramDir dir;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MailslotWrite(dir.path(), "StateLog", "nobody listens"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(100));
}

TEST(MailslotTest, WriterNeverBlocksOnAFullQueue) {
    test::TempProgramDir dir;
    MailslotReader reader(dir.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    const std::string message(300, 'm');
    auto start = std::chrono::steady_clock::now();
    int delivered = 0;
    for (int i = 0; i < 5000 && MailslotWrite(dir.path(), "StateLog", message); ++i) ++delivered;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_GT(delivered, 0);
    EXPECT_LT(delivered, 5000) << "the queue should have filled up";
    EXPECT_EQ(reader.Receive(milliseconds(1000)), message);
}

}  // namespace
}  // namespace zov
