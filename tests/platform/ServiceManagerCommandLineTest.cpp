#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ServiceManagerCommandLine.h"

namespace zov {
namespace {

struct CommandLineCase {
    std::vector<std::string> arguments;
    std::string text;
};

TEST(ServiceManagerCommandLine, JoinsAndSplitsBackTheSameArguments) {
    const CommandLineCase cases[] = {
        {{"/opt/zov/zovsvc"}, "/opt/zov/zovsvc"},
        {{"/usr/sbin/mariadbd", "--basedir=/usr", "--user=mysql"},
         "/usr/sbin/mariadbd --basedir=/usr --user=mysql"},
        {{"/opt/my app/server", "a b"}, "\"/opt/my app/server\" \"a b\""},
        {{"/bin/prog", ""}, "/bin/prog \"\""},
        {{"/bin/prog", "say \"hi\""}, "/bin/prog \"say \\\"hi\\\"\""},
        {{"/bin/prog", "back\\slash"}, "/bin/prog back\\slash"},
        {{"/bin/prog", "end with \\"}, "/bin/prog \"end with \\\\\""},
        {{}, ""},
    };
    for (const CommandLineCase& c : cases) {
        EXPECT_EQ(JoinCommandLine(c.arguments), c.text);
        EXPECT_EQ(SplitCommandLine(c.text), c.arguments) << c.text;
    }
}

TEST(ServiceManagerCommandLine, SplitsHandWrittenTexts) {
    EXPECT_EQ(SplitCommandLine("  a\t b  "), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitCommandLine("--defaults-file=\"/etc/my cnf\" x"),
              (std::vector<std::string>{"--defaults-file=/etc/my cnf", "x"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\dir\\prog\""), (std::vector<std::string>{"C:\\dir\\prog"}));
}

}  // namespace
}  // namespace zov
