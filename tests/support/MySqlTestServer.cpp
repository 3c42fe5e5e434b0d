#include "support/MySqlTestServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "platform/ProcessRunner.h"
#include "platform/ServiceManagerLocal.h"
#include "support/TempProgramDir.h"

namespace zov::test {

MySqlTestServer TestServer() {
    const IniFile state(ZOV_MYSQL_TEST_SERVER);
    MySqlTestServer server{state.Read("Socket", "MYSQL"), state.Read("Port", "MYSQL"),
                           state.Read("DefaultsFile", "MYSQL"), state.Read("DataDir", "MYSQL"),
                           state.Read("RootPassword", "MYSQL")};
    if (server.socket.empty()) {
        ADD_FAILURE() << "no test server: run scripts/test-mysql-server.sh start " << ZOV_MYSQL_TEST_SERVER;
    }
    return server;
}

void UseTestServer(const MySqlTestServer& server, bool tcp) {
    const IniFile config(ConfigIniPath());
    if (tcp) {
        config.Write("Host", "MYSQL", "127.0.0.1");
        config.Write("Port", "MYSQL", server.port);
    } else {
        config.Write("Socket", "MYSQL", server.socket);
    }
    LocalServiceManager manager(RunFolder() + "services/");
    ServiceConfig service;
    service.name = kTestServerService;
    service.displayName = kTestServerService;
    service.command = {"/usr/sbin/mariadbd", "--defaults-file=" + server.defaultsFile};
    service.autoStart = false;
    ASSERT_TRUE(manager.Install(service));
}

std::string RunSql(const MySqlTestServer& server, const std::string& sql, const std::string& database) {
    char folder[] = "/tmp/zovsql_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return "";
    }
    const std::string input = std::string(folder) + "/in.sql";
    const std::string output = std::string(folder) + "/out.txt";
    WriteFile(input, sql);
    std::vector<std::string> argv{"mariadb",
                                  "--no-defaults",
                                  "--socket=" + server.socket,
                                  "--user=root",
                                  "--password=" + server.rootPassword,
                                  "--batch",
                                  "--skip-column-names",
                                  "--default-character-set=utf8mb4"};
    if (!database.empty()) argv.push_back(database);
    ProcessOptions options;
    options.stdinPath = input;
    options.stdoutPath = output;
    options.stderrPath = output;
    options.timeout = std::chrono::seconds(120);
    const bool succeeded = RunProcess(argv, options).Succeeded();
    const std::string text = ReadFile(output);
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(succeeded) << sql << "\n" << text;
    return text;
}

std::string QuotedName(const std::string& name) {
    std::string text = "`";
    for (char c : name) text += c == '`' ? std::string("``") : std::string(1, c);
    return text + "`";
}

std::string UniqueDatabase(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

}  // namespace zov::test
