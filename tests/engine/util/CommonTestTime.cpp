#include <gtest/gtest.h>

#include "engine/util/CommonTime.h"
#include "engine/util/ElapsedText.h"

namespace zov {
namespace {

TEST(CommonTime, NormalizeTimeText) {
    struct Case {
        std::string typed, normal;
    };
    const Case cases[] = {
        {"7", "07:00"},  {"07", "07:00"},   {"12", "12:00"},  {"23", "23:00"},
        {"24", "24"},    {"0", "0"},        {"7:5", "07:05"}, {"07:30:", "07:30"},
        {"7:", "07:00"}, {"12:3", "12:03"}, {"abc", "abc"},   {"", ""},
        {"1:", "01:00"}, {"123", "123"},    {":5", ":5"},     {"10:45", "10:45"},
    };
    for (const Case& c : cases) {
        std::string time = c.typed;
        NormalizeTimeText(time);
        EXPECT_EQ(time, c.normal) << c.typed;
    }
}

TEST(CommonTime, ConvertTimeStamp) {
    struct Case {
        std::string text;
        bool toDigits;
        std::string result;
    };
    const Case cases[] = {
        {"2024-05-01 13:45:09", true, "20240501134509"},
        {"2024-05-01 13:45", true, "202405011345"},
        {"2024-05-01", true, ""},
        {"20240501134509", false, "2024-05-01 13:45:09"},
        {"202405011345", false, "2024-05-01 13:45"},
        {"2024050113", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ConvertTimeStamp(c.text, c.toDigits), c.result) << c.text;
    EXPECT_EQ(ConvertTimeStamp(ConvertTimeStamp("2015-03-04 05:06", true), false), "2015-03-04 05:06");
}

TEST(ElapsedText, FormatElapsed) {
    struct Case {
        std::uint64_t seconds;
        std::string text;
    };
    const Case cases[] = {
        {0, "0秒"},       {59, "59秒"},        {61, "1分1秒"},
        {3600, "1时0秒"}, {3725, "1时2分5秒"}, {90061, "25时1分1秒"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatElapsed(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace zov
