#include <gtest/gtest.h>

#include "engine/logs/StateLog.h"
#include "platform/Mailslot.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

constexpr std::chrono::milliseconds kWait{2000};
constexpr std::chrono::milliseconds kQuiet{200};

class StateLogTest : public ::testing::Test {
  protected:
    test::TempProgramDir program_;
    StateLogSink sink_{program_.path()};
};

TEST_F(StateLogTest, StatusTextIsCutAt399BytesOnACharacterBoundary) {
    MailslotReader reader(program_.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    const std::string han = "数";
    struct Case {
        std::string text, arrives;
    };
    const Case cases[] = {
        {"正在压缩 /srv/data", "正在压缩 /srv/data"},
        {std::string(500, 'a'), std::string(399, 'a')},
        {std::string(399, 'b'), std::string(399, 'b')},
        {std::string(398, 'c') + han, std::string(398, 'c')},
        {std::string(396, 'd') + han + "e", std::string(396, 'd') + han},
        {"", ""},
    };
    for (const Case& c : cases) {
        sink_.Status(c.text);
        EXPECT_EQ(reader.Receive(kWait), c.arrives + '\0') << c.text.size();
    }
}

TEST_F(StateLogTest, EndSendsAnEmptyMessageOnlyAfterAtMostOneStatus) {
    MailslotReader reader(program_.path(), "StateLog");
    ASSERT_TRUE(reader.bound());

    sink_.Status("one");
    EXPECT_EQ(reader.Receive(kWait), std::string("one") + '\0');
    sink_.EndStatus();
    EXPECT_EQ(reader.Receive(kWait), "");

    sink_.Status("first");
    sink_.Status("second");
    EXPECT_EQ(reader.Receive(kWait), std::string("first") + '\0');
    EXPECT_EQ(reader.Receive(kWait), std::string("second") + '\0');
    sink_.EndStatus();
    EXPECT_FALSE(reader.Receive(kQuiet).has_value());

    // A job that sent nothing also clears the status line.
    sink_.EndStatus();
    EXPECT_EQ(reader.Receive(kWait), "");
}

// Each job counts its own lines: one job's second line does not keep another's end from clearing.
TEST_F(StateLogTest, JobsCountTheirLinesApart) {
    MailslotReader reader(program_.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    StateLogSink other(program_.path());
    sink_.Status("one");
    other.Status("two");
    other.Status("three");
    sink_.EndStatus();
    for (const std::string expected : {"one", "two", "three"}) {
        EXPECT_EQ(reader.Receive(kWait), expected + '\0');
    }
    EXPECT_EQ(reader.Receive(kWait), "");
    other.EndStatus();
    EXPECT_FALSE(reader.Receive(kQuiet).has_value());
}

TEST_F(StateLogTest, WithoutAReaderMessagesAreDropped) {
    sink_.Status("nobody listens");
    sink_.EndStatus();
    EXPECT_FALSE(WriteUpdateLog(3584 + 100));
    MailslotReader reader(program_.path(), "StateLog");
    ASSERT_TRUE(reader.bound());
    EXPECT_FALSE(reader.Receive(kQuiet).has_value());
}

TEST_F(StateLogTest, UpdateNotice) {
    MailslotReader reader(program_.path(), "UpdateLog");
    ASSERT_TRUE(WriteUpdateLog(3940));
    EXPECT_EQ(reader.Receive(kWait), std::string("<cmd>3940</cmd>") + '\0');
}

}  // namespace
}  // namespace zov
