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
    // Ends whatever job an earlier test left open, before the reader exists.
    StateLogTest() { EndStateLog(); }

    test::TempProgramDir program_;
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
        EXPECT_TRUE(WriteStateLog(c.text));
        EXPECT_EQ(reader.Receive(kWait), c.arrives + '\0') << c.text.size();
    }
}

TEST_F(StateLogTest, EndSendsAnEmptyMessageOnlyAfterAtMostOneStatus) {
    MailslotReader reader(program_.path(), "StateLog");
    ASSERT_TRUE(reader.bound());

    ASSERT_TRUE(WriteStateLog("one"));
    EXPECT_EQ(reader.Receive(kWait), std::string("one") + '\0');
    EndStateLog();
    EXPECT_EQ(reader.Receive(kWait), "");

    ASSERT_TRUE(WriteStateLog("first"));
    ASSERT_TRUE(WriteStateLog("second"));
    EXPECT_EQ(reader.Receive(kWait), std::string("first") + '\0');
    EXPECT_EQ(reader.Receive(kWait), std::string("second") + '\0');
    EndStateLog();
    EXPECT_FALSE(reader.Receive(kQuiet).has_value());

    // A job that sent nothing also clears the status line.
    EndStateLog();
    EXPECT_EQ(reader.Receive(kWait), "");
}

TEST_F(StateLogTest, WithoutAReaderMessagesAreDropped) {
    EXPECT_FALSE(WriteStateLog("nobody listens"));
    EXPECT_FALSE(WriteUpdateLog(3584 + 100));
    EndStateLog();
}

TEST_F(StateLogTest, UpdateNotice) {
    MailslotReader reader(program_.path(), "UpdateLog");
    ASSERT_TRUE(WriteUpdateLog(3940));
    EXPECT_EQ(reader.Receive(kWait), std::string("<cmd>3940</cmd>") + '\0');
}

}  // namespace
}  // namespace zov
