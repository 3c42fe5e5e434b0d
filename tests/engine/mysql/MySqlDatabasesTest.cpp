#include <gtest/gtest.h>

#include <filesystem>

#include "engine/mysql/MySqlDatabases.h"
#include "engine/mysql/MySqlOptionFile.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

// The encodings the server wrote for these names (read off a real server's data folder), both ways.
TEST(MySqlDatabasesTest, FileNamesDecodeToDatabaseNames) {
    struct Case {
        std::string fileName;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"shop", "shop"},
        {"Shop_2024", "Shop_2024"},
        {"a@002db", "a-b"},
        {"@4e2d@6587@5e93", "中文库"},
        {"caf@0p", "café"},
        {"@0G@1j", "Àß"},
        {"@O0@o0", "Ии"},
        {"@0022@0024@0025@005c@0020@0060", "\"$%\\ `"},
        {"a@002fb", "a/b"},
        {"lost+found", std::nullopt},
        {"#innodb_temp", std::nullopt},
        {"#mysql50#old", std::nullopt},
        {".snapshot", std::nullopt},
        {"bad@zz", std::nullopt},
        {"bad@00", std::nullopt},
        {"@0000", std::nullopt},
        {"@d800", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeMySqlFileName(c.fileName), c.name) << c.fileName;
        if (c.name) {
            EXPECT_EQ(EncodeMySqlFileName(*c.name), c.fileName) << c.fileName;
        }
    }
    for (const char* notAName : {"\xff", "a\xc3", "\xed\xa0\x80", "smile \xf0\x9f\x98\x80"})
        EXPECT_EQ(EncodeMySqlFileName(notAName), std::nullopt) << notAName;
}

// A dump's title names its database again, also when the name holds a character no file name can hold.
TEST(MySqlDatabasesTest, ADumpTitleLeadsBackToItsDatabase) {
    const MySqlDatabase cases[] = {{"shop", "shop"},
                                   {"a-b", "a@002db"},
                                   {"a/b", "a@002fb"},
                                   {"中/文", "@4e2d@002f@6587"},
                                   {"x@y", "x@0040y"}};
    for (const MySqlDatabase& database : cases) {
        EXPECT_EQ(MySqlDatabaseOfDumpTitle(MySqlDumpTitle(database)), database.name) << database.folder;
        EXPECT_EQ(MySqlDumpTitle(database).find('/'), std::string::npos);
    }
}

TEST(MySqlDatabasesTest, TheDatabasesAreTheSubFoldersThatDecode) {
    test::TempProgramDir program;
    for (const char* folder : {"mysql", "a@002db", "@4e2d@6587", "lost+found", "#innodb_temp", "shop"}) {
        fs::create_directories(program / ("data/" + std::string(folder)));
    }
    test::WriteFile(program / "data/ibdata1", "");
    test::WriteFile(program / "data/shop/db.opt", "");
    fs::create_directory_symlink(program / "data/shop", program / "data/linked");
    std::vector<std::string> names;
    std::vector<std::string> folders;
    for (const MySqlDatabase& database : ListMySqlDatabases(program / "data")) {
        names.push_back(database.name);
        folders.push_back(database.folder);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a-b", "linked", "mysql", "shop", "中文"}));
    EXPECT_EQ(folders, (std::vector<std::string>{"a@002db", "linked", "mysql", "shop", "@4e2d@6587"}));
    EXPECT_TRUE(ListMySqlDatabases(program / "missing").empty());
}

// Values as the server reads them back: quotes, escapes, comments, groups and option spellings.
TEST(MySqlDatabasesTest, OptionFileValuesReadAsTheServerReadsThem) {
    struct Case {
        std::string text;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"[mysqld]\ndatadir=/plain\n", "/plain"},
        {"[mysqld]\n  datadir = /spaced  \n", "/spaced"},
        {"[mysqld]\ndatadir=\"/quoted # not a comment\"  # a comment\n", "/quoted # not a comment"},
        {"[mysqld]\ndatadir='/single'\n", "/single"},
        {"[mysqld]\ndatadir=\"/esc\\\\aped\\sblank\\\"\"\n", "/esc\\aped blank\""},
        {"[mysqld]\ndatadir=/kept\\x\n", "/kept\\x"},
        {"# [mysqld]\n; datadir=/commented\n[client]\ndatadir=/client\n", std::nullopt},
        {"[ MariaDBd ]\nDATADIR=/folded\n", "/folded"},
        {"[mysqld]\ndatadir\n", ""},
        {"datadir=/no-group\n", std::nullopt},
    };
    test::TempProgramDir program;
    for (const Case& c : cases) {
        test::WriteFile(program / "my.cnf", c.text);
        EXPECT_EQ(ReadMySqlOption(program / "my.cnf", {"mysqld", "mariadbd"}, "datadir"), c.value) << c.text;
    }
    EXPECT_EQ(ReadMySqlOption(program / "missing.cnf", {"mysqld"}, "datadir"), std::nullopt);
}

}  // namespace
}  // namespace zov
