#pragma once

#include <string>
#include <vector>

#include "platform/ServiceManager.h"

// Where the MySQL server of a service keeps its databases and listens. The service's program is a server
// program when the file name of its argv[0] or of its program file ends with "mariadbd", "mysqld",
// "mysqld-nt" or "mysql-nt" (".exe" aside); arguments never make it one. Its command line (its main
// process's real one where it runs) may name its option file ("--defaults-file=", quoted or not). Then,
// first found wins:
// 1. "--datadir=" on the command line;
// 2. in the server's option file: the "--defaults-file=" one, else "my.cnf" beside the program, else
//    "my.cnf" in the program folder's parent: "datadir" of [mysqld], [mariadbd] or [server], the first
//    "datadir=" anywhere in it (ParseMySqlDataDir), or its folder + "data" when that is a folder;
// 3. "datadir" of those groups in the machine's option file (/etc/mysql/my.cnf and what it includes);
// 4. the server program's own answer ("--verbose --help"), its compiled default on a stock Debian server;
//    asked only of a trusted program (IsTrustedProgram).
// The socket and port: "--socket=" and "--port=" on the command line, else "socket" and "port" of those
// groups in the server's option file of step 2, else in the machine's option file.
// Paths keep their case; the value is given as written.
namespace zov {

enum class MySqlDataDirFailure {
    None,
    NoCommandLine,  // the service is unknown or its command line cannot be read
    NotMySql,       // the command line names no server program
    NoOptionFile,   // no option file found and the program gave no answer
    NoDataDir,      // an option file, but no data folder in it nor from the program
    NoSuchServer,   // servers of that service name run, but none on the data folder the name gives
    Untrusted,      // only running processes of that name that are not believed (see SearchMySqlDataDir)
};

struct MySqlDataDirSearch {
    MySqlDataDirFailure failure = MySqlDataDirFailure::None;
    int error = 0;              // with NoCommandLine: the service manager's errno-style code
    std::string programFolder;  // the server program's folder, with a trailing '/'
    std::string optionFile;     // the option file read (or the last one looked for)
    std::string dataDir;
    std::string socket;  // "" when the server's options set none
    std::string port;
};

// Where step 3 and 4 look; tests point them elsewhere.
struct MySqlMachineLayout {
    std::string optionFile = "/etc/mysql/my.cnf";
    bool askProgram = true;
};

// The option groups the server reads its own settings from.
inline const std::vector<std::string> kMySqlServerGroups{"mysqld", "mariadbd", "server"};

// True when the service's program is a server program (the management program lists such services).
bool IsMySqlServer(const ServiceInfo& service);

MySqlDataDirSearch SearchMySqlDataDir(const ServiceInfo& service, const MySqlMachineLayout& layout = {});
// The servers that answer to a service name through the service manager of this installation: the registered
// service, else every believed server process of that name, by pid. A server that runs unregistered (found
// among the processes, where any user may start one of that name) is believed only when its program is
// trusted (IsTrustedProgram) and it runs as root, or as a system account (uid 1 to 999, as "mysql"; never a
// person's account, nor "nobody") that owns the data folder it names (then the program is not asked, as
// its options are that account's). refused tells why none was found.
struct MySqlServerSearch {
    std::vector<MySqlDataDirSearch> found;
    MySqlDataDirSearch refused;
};
MySqlServerSearch SearchMySqlServers(const std::string& serviceName, const MySqlMachineLayout& layout = {});

// The name a task keeps for a server: the service name alone, or "service (data folder)" where several
// servers share the service name (MySqlServerName); SplitMySqlServerName takes it apart again.
struct MySqlServerChoice {
    std::string serviceName;
    std::string dataDir;  // "" for the service name alone
};
std::string MySqlServerName(const std::string& serviceName, const std::string& dataDir);
MySqlServerChoice SplitMySqlServerName(const std::string& name);

// The server a task names (a service name, or one with its data folder): of SearchMySqlServers, the first
// found, or the one on that data folder.
MySqlDataDirSearch SearchMySqlDataDir(const std::string& serverName, const MySqlMachineLayout& layout = {});

// SearchMySqlDataDir(serviceName).dataDir: "" when not found.
std::string FindMySqlDataDir(const std::string& serviceName);

// The text after the first "datadir=" of the file (case-sensitive, any group, no blanks around '='), up to
// the line end, without surrounding blanks and quotes; "" when the file or the key is missing.
std::string ParseMySqlDataDir(const std::string& path);

}  // namespace zov
