#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "engine/mysql/MySqlConnection.h"
#include "engine/mysql/MySqlRun.h"
#include "engine/mysql/MySqlTools.h"
#include "support/MySqlTestServer.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class MySqlClientTest : public ::testing::Test {
  protected:
    // Runs "SELECT CURRENT_USER()" through the client with the connection and password.
    MySqlToolRun WhoAmI(const MySqlConnection& connection, const std::string& password) {
        MySqlClientOptions options(connection, password);
        EXPECT_TRUE(options.ok()) << options.error();
        test::WriteFile(program_ / "who.sql", "SELECT CURRENT_USER();\n");
        return RunBatchFile(
            {FindMySqlTool("", kMySqlClients), options.Argument(), "--batch", "--skip-column-names"},
            {program_ / "who.sql", program_ / "who.txt", program_ / "who.err"}, 60s, {});
    }

    test::TempProgramDir program_;
    test::MySqlTestServer server_ = test::TestServer();
};

// The option file is the only place of the password: 0600 in a private folder of the cache folder, gone
// once the job is done.
TEST_F(MySqlClientTest, TheOptionFileIsPrivateAndGoesAway) {
    std::string path;
    {
        MySqlClientOptions options(MySqlConnection{server_.socket, "", ""}, server_.rootPassword);
        ASSERT_TRUE(options.ok()) << options.error();
        path = options.path();
        struct stat file, folder;
        ASSERT_EQ(lstat(path.c_str(), &file), 0);
        ASSERT_EQ(stat(fs::path(path).parent_path().c_str(), &folder), 0);
        EXPECT_EQ(file.st_mode & 07777, 0600u);
        EXPECT_EQ(folder.st_mode & 07777, 0700u);
        EXPECT_TRUE(path.starts_with(program_ / "cache/")) << path;
        EXPECT_EQ(options.Argument(), "--defaults-extra-file=" + path);
    }
    EXPECT_FALSE(fs::exists(fs::path(path).parent_path()));
}

// Every connection form of config.ini [MYSQL] reaches the server, with a password holding the characters
// a shell, a format or an option file would take for their own.
TEST_F(MySqlClientTest, TheConnectionRuleReachesTheServer) {
    ASSERT_NE(server_.rootPassword.find_first_of("\"$%\\ `"), std::string::npos);
    const MySqlConnection connections[] = {
        {server_.socket, "", ""},
        {"", "127.0.0.1", server_.port},
        {"", "", server_.port},
    };
    for (const MySqlConnection& connection : connections) {
        const MySqlToolRun run = WhoAmI(connection, server_.rootPassword);
        EXPECT_TRUE(run.succeeded) << connection.socket << connection.host << connection.port << ": "
                                   << run.errorText;
        EXPECT_TRUE(test::ReadFile(program_ / "who.txt").starts_with("root@"))
            << test::ReadFile(program_ / "who.txt");
    }
}

// A refused login ends at once with the server's words, and an empty password is never asked for.
TEST_F(MySqlClientTest, ARefusedLoginIsFinalAndNeverWaits) {
    for (const std::string& password : {std::string("wrong"), std::string()}) {
        const auto start = std::chrono::steady_clock::now();
        const MySqlToolRun run = WhoAmI(MySqlConnection{server_.socket, "", ""}, password);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << password;
        EXPECT_FALSE(run.succeeded) << password;
        EXPECT_TRUE(run.final) << password;
        EXPECT_NE(run.errorText.find("Access denied"), std::string::npos) << run.errorText;
    }
}

TEST_F(MySqlClientTest, RunsReportWhatWentWrong) {
    struct Case {
        std::vector<std::string> argv;
        bool succeeded, final;
        std::string error;
    };
    const Case cases[] = {
        {{"/bin/sh", "-c", "echo out; echo 'mysqldump: Got error: 2002: no socket' >&2; exit 2"},
         false,
         false,
         "mysqldump: Got error: 2002: no socket"},
        {{"/bin/sh", "-c", "echo 'Got error: 1049: \"Unknown database x\"' >&2; exit 2"},
         false,
         true,
         "Got error: 1049: \"Unknown database x\""},
        {{"/bin/sh", "-c", "echo 'unknown option' >&2; exit 1"}, false, true, "unknown option"},
        {{"/bin/sh", "-c", "exit 3"}, false, false, "/bin/sh运行失败，退出码3"},
        {{"/bin/sh", "-c", "echo out"}, true, false, ""},
        {{program_ / "missing-tool"},
         false,
         true,
         "无法运行" + program_ / "missing-tool" + "：No such file or directory"},
    };
    for (const Case& c : cases) {
        const MySqlToolRun run =
            RunBatchFile(c.argv, {"", program_ / "out.txt", program_ / "err.txt"}, 30s, {});
        EXPECT_EQ(run.succeeded, c.succeeded) << c.argv.back();
        EXPECT_EQ(run.final, c.final) << c.argv.back();
        EXPECT_EQ(run.errorText, c.error) << c.argv.back();
    }
    const MySqlToolRun slow = RunBatchFile({"/bin/sleep", "30"}, {}, 200ms, {});
    EXPECT_TRUE(slow.final);
    EXPECT_FALSE(slow.succeeded);
}

// The dump tool: the server's folder, then the program folder, then PATH; never a program others
// control.
TEST_F(MySqlClientTest, TheDumpToolIsFoundWhereTheServerIsThenHereThenOnPath) {
    EXPECT_EQ(FindMySqlTool("/usr/sbin/", kMySqlDumpTools), "/usr/bin/mariadb-dump");
    test::WriteFile(program_ / "server/mysqldump", "#!/bin/sh\n");
    test::WriteFile(program_ / "mariadb-dump", "#!/bin/sh\n");
    fs::permissions(program_ / "server/mysqldump", fs::perms(0755));
    fs::permissions(program_ / "mariadb-dump", fs::perms(0755));
    EXPECT_EQ(FindMySqlTool(program_ / "server/", kMySqlDumpTools), program_ / "server/mysqldump");
    EXPECT_EQ(FindMySqlTool("", kMySqlDumpTools), program_ / "mariadb-dump");
    fs::permissions(program_ / "server", fs::perms(0777));
    EXPECT_EQ(FindMySqlTool(program_ / "server/", kMySqlDumpTools), program_ / "mariadb-dump");
    fs::permissions(program_ / "mariadb-dump", fs::perms(0775));
    EXPECT_EQ(FindMySqlTool(program_ / "server/", kMySqlDumpTools), "/usr/bin/mariadb-dump");
}

}  // namespace
}  // namespace zov
