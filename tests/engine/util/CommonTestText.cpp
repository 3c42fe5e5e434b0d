#include <gtest/gtest.h>

#include "engine/util/CommonText.h"

namespace zov {
namespace {

using Pieces = std::vector<std::string>;

TEST(CommonText, SplitToListAndArray) {
    struct Case {
        std::string text;
        std::size_t minLength;
        Pieces pieces;
    };
    const Case cases[] = {
        {"a||b|", 1, {"a", "b"}},
        {"a||b|", 0, {"a", "", "b", ""}},
        {"whole", 1, {"whole"}},
        // A text without the separator is kept whole, whatever its length.
        {"", 1, {""}},
        {"ab", 3, {"ab"}},
        {"|", 1, {}},
        {"ab|c", 3, {}},
        {"ab|c|def", 2, {"ab", "def"}},
        {"数据|库", 1, {"数据", "库"}},
    };
    for (const Case& c : cases) {
        Pieces list{"old"};
        SplitToList(list, c.text, '|', true, c.minLength);
        EXPECT_EQ(list, c.pieces) << c.text;
        Pieces array;
        EXPECT_EQ(SplitToArray(array, c.text, "|", true, c.minLength), c.pieces.size()) << c.text;
        EXPECT_EQ(array, c.pieces) << c.text;
    }
    Pieces kept{"old"};
    SplitToList(kept, "a|b", '|', false);
    EXPECT_EQ(kept, (Pieces{"old", "a", "b"}));
    Pieces multi;
    SplitToArray(multi, "a, b, , c", ", ");
    EXPECT_EQ(multi, (Pieces{"a", "b", "c"}));
    EXPECT_EQ(SplitToArray(multi, "a,b", ", ", true, 5), 1u);
    EXPECT_EQ(multi, (Pieces{"a,b"}));
    EXPECT_EQ(SplitToArray(multi, "a", "", true, 1), 1u);
    EXPECT_EQ(multi, (Pieces{"a"}));
}

TEST(CommonText, TextBetween) {
    struct Case {
        std::string text, start, end, between;
    };
    const Case cases[] = {
        {"<ID>7</ID>", "<ID>", "</ID>", "7"},
        {"x<ID></ID>", "<ID>", "</ID>", ""},
        {"<ID>7</ID><ID>8</ID>", "<ID>", "</ID>", "7"},
        {"</ID><ID>9</ID>", "<ID>", "</ID>", "9"},
        {"</ID><ID>9", "<ID>", "</ID>", ""},
        {"<ID>7", "<ID>", "</ID>", ""},
        {"7</ID>", "<ID>", "</ID>", ""},
        {"<ID>7</ID>", "", "</ID>", ""},
        {"<ID>7</ID>", "<ID>", "", ""},
        {"", "<ID>", "</ID>", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TextBetween(c.text, c.start, c.end), c.between) << c.text;
}

TEST(CommonText, ReplaceBetween) {
    struct Case {
        std::string text, value, result;
    };
    const Case cases[] = {
        {"<A>1</A>", "2", "<A>1</A><B>2</B>"},
        {"<A>1</A><B>old</B><C>3</C>", "new", "<A>1</A><B>new</B><C>3</C>"},
        {"<B></B>", "v", "<B>v</B>"},
        {"<A>1</A>old</B>rest", "v", "<A>1</A>old<B>v</B>rest"},
        {"<B>rest", "v", "<B>v</B>rest"},
        {"</B>x<B>old</B>", "v", "</B>x<B>v</B>"},
        {"", "v", "<B>v</B>"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_TRUE(ReplaceBetween(text, c.value, "<B>", "</B>")) << c.text;
        EXPECT_EQ(text, c.result) << c.text;
    }
    std::string text = "<B>1</B>";
    EXPECT_FALSE(ReplaceBetween(text, "2", "", "</B>"));
    EXPECT_FALSE(ReplaceBetween(text, "2", "<B>", ""));
    EXPECT_EQ(text, "<B>1</B>");
}

TEST(CommonText, RegexMatch) {
    const std::string time = "^(([0-1][0-9])|(2[0-3])):[0-5][0-9]$";
    struct Case {
        std::string subject, pattern;
        bool matches;
    };
    const Case cases[] = {
        {"07:30", time, true}, {"23:59", time, true},   {"24:00", time, false},
        {"7:30", time, false}, {"07:30 ", time, false}, {"", time, false},
        {"abc", "", false},    {"abc", "(", false},     {"x/srv/y", "/srv", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RegexMatch(c.subject, c.pattern), c.matches) << c.subject << " ~ " << c.pattern;
}

TEST(CommonText, CutUtf8NeverSplitsACharacter) {
    const std::string han = "数";  // three bytes
    struct Case {
        std::string text;
        std::size_t max;
        std::string cut;
    };
    const Case cases[] = {
        {"abc", 5, "abc"},         {"abcdef", 3, "abc"}, {"a" + han, 3, "a"},
        {"a" + han, 4, "a" + han}, {han + han, 5, han},  {han, 0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CutUtf8(c.text, c.max), c.cut) << c.text << " / " << c.max;
}

TEST(CommonText, ToLowerFoldsAsciiOnly) {
    std::string text = "ABC.Doc Ä数";
    ToLower(text);
    EXPECT_EQ(text, "abc.doc Ä数");
    EXPECT_EQ(LowerCopy("TXT"), "txt");
}

}  // namespace
}  // namespace zov
