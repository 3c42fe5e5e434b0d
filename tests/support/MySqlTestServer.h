#pragma once

#include <string>

// The MariaDB server that scripts/test-mysql-server.sh starts for the MySQL tests (CTest runs it as their
// fixture). Tests reach it as the system does: config.ini [MYSQL] of their program folder, and a local
// service registration that names its program and option file.
namespace zov::test {

struct MySqlTestServer {
    std::string socket;
    std::string port;
    std::string defaultsFile;
    std::string dataDir;
    std::string rootPassword;
};

// The running server; fails the test when the script's state file is missing.
MySqlTestServer TestServer();

// The service name UseTestServer registers.
inline constexpr const char* kTestServerService = "MariaDBTest";

// Points the current program folder at the server: config.ini [MYSQL] Socket (or Host and Port with
// tcp), and a local service registration kTestServerService with the server's command line.
void UseTestServer(const MySqlTestServer& server, bool tcp = false);

// Runs the statements as root through the command-line client over the socket; its output (tab-separated
// rows without column names). Fails the test when the client fails.
std::string RunSql(const MySqlTestServer& server, const std::string& sql, const std::string& database = "");

// The name in backquotes, as a statement takes it.
std::string QuotedName(const std::string& name);

// A database name no other test uses: prefix + the process id + a counter.
std::string UniqueDatabase(const std::string& prefix);

}  // namespace zov::test
