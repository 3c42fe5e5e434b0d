#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "engine/mssql/SqlServerConnection.h"
#include "engine/mssql/SqlServerNames.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

std::string ThisHost() {
    char name[HOST_NAME_MAX + 1] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

TEST(SqlServerConnectionTest, ConnectionStrings) {
    test::TempProgramDir program;
    struct Case {
        std::string what;
        std::vector<std::pair<std::string, std::string>> config;
        std::string instance, database, expected;
    };
    const std::string host = ThisHost();
    const Case cases[] = {
        {"default instance", {}, "", "", "Driver=FreeTDS;Server=" + host + ";TDS_Version=7.4;"},
        {"MSSQLSERVER", {}, "MSSQLSERVER", "", "Driver=FreeTDS;Server=" + host + ";TDS_Version=7.4;"},
        {"named instance",
         {},
         "SQLEXPRESS",
         "",
         "Driver=FreeTDS;Server=" + host + "\\SQLEXPRESS;TDS_Version=7.4;"},
        {"restore connection",
         {},
         "",
         "master",
         "Driver=FreeTDS;Server=" + host + ";Database=master;TDS_Version=7.4;"},
        {"config.ini values",
         {{"Driver", "/usr/lib/odbc/libtdsodbc.so"},
          {"Host", "db1"},
          {"Port", "14330"},
          {"User", "backup"},
          {"Password", "a;b}c}"}},
         "SQLEXPRESS",
         "",
         "Driver=/usr/lib/odbc/libtdsodbc.so;Server=db1\\SQLEXPRESS;Port=14330;UID=backup;PWD={a;b}c}};"
         "TDS_Version=7.4;"},
        {"driver name in braces",
         {{"Driver", "ODBC Driver {x}"}, {"Host", "db1"}},
         "",
         "",
         "Driver={ODBC Driver {x}};Server=db1;TDS_Version=7.4;"},
    };
    for (const Case& c : cases) {
        const IniFile config(ConfigIniPath());
        config.Write("", "MSSQL", "");
        for (const auto& [key, value] : c.config) config.Write(key, "MSSQL", value);
        SqlServerSettings settings;
        std::string message;
        ASSERT_TRUE(ReadSqlServerSettings(settings, message)) << message;
        EXPECT_EQ(SqlServerConnectionString(settings, c.instance, c.database), c.expected) << c.what;
        EXPECT_EQ(SqlServerTarget(settings, c.instance)
                      .find(settings.password.empty() ? "\x01" : settings.password),
                  std::string::npos)
            << c.what;
    }
}

TEST(SqlServerConnectionTest, AValueTheDriverCannotTakeIsRefused) {
    test::TempProgramDir program;
    IniFile(ConfigIniPath()).Write("Password", "MSSQL", "secret};more");
    SqlServerSettings settings;
    std::string message;
    EXPECT_FALSE(ReadSqlServerSettings(settings, message));
    EXPECT_EQ(message, "config.ini [MSSQL] 的值不能含有“};”");
}

// A config.ini holding the password is kept from other users, whatever mode an editor gave it.
TEST(SqlServerConnectionTest, AConfigHoldingThePasswordIsNarrowedToItsOwner) {
    const struct {
        const char* password;
        mode_t before, after;
    } cases[] = {{"secret", 0644, 0600}, {"secret", 0660, 0600}, {"secret", 0600, 0600}, {"", 0644, 0644}};
    for (const auto& c : cases) {
        test::TempProgramDir program;
        IniFile(ConfigIniPath()).Write("Password", "MSSQL", c.password);
        IniFile(ConfigIniPath()).Write("User", "MSSQL", "backup");
        ASSERT_EQ(::chmod(ConfigIniPath().c_str(), c.before), 0);
        SqlServerSettings settings;
        std::string message;
        EXPECT_TRUE(ReadSqlServerSettings(settings, message)) << message;
        struct stat info {};
        ASSERT_EQ(::stat(ConfigIniPath().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.after) << c.password << " " << std::oct << c.before;
    }
}

TEST(SqlServerConnectionTest, NamesInStatementsAndOnDisk) {
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        {"sales", "sales", "sales", "sales"},
        {"a]b]]", "a]]b]]]]", "a]b]]", "a]b]]"},
        {"it's", "it's", "it''s", "it's"},
        {"销售/2024", "销售/2024", "销售/2024", "销售_2024"},
        {"tab\there\x7f", "tab\there\x7f", "tab\there\x7f", "tab_here_"},
    };
    for (const auto& [name, bracketed, quoted, file] : cases) {
        EXPECT_EQ(BracketEscaped(name), bracketed);
        EXPECT_EQ(QuoteEscaped(name), quoted);
        EXPECT_EQ(DatabaseFileName(name), file);
    }
}

// A backup's file name leads back to the task's database it was made of, never to another one.
TEST(SqlServerConnectionTest, AFileNameLeadsBackToItsDatabase) {
    const std::vector<std::string> databases{"销售/2024", "tab\there", "a_b", "a/b", "x/y", "x\ny"};
    const std::pair<std::string, std::string> cases[] = {
        {"销售_2024", "销售/2024"},  // '/' cannot be in a file name
        {"tab_here", "tab\there"},
        {"a_b", "a_b"},  // a database of that very name
        {"x_y", "x_y"},  // two databases of that file name: neither is guessed
        {"other", "other"},
    };
    for (const auto& [file, database] : cases)
        EXPECT_EQ(DatabaseOfFileName(file, databases), database) << file;
}

}  // namespace
}  // namespace zov
