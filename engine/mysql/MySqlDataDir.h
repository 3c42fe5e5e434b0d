#pragma once

#include <string>
#include <vector>

#include "platform/ServiceManager.h"

// Where the MySQL server of a service keeps its databases. The service's command line (its main process's
// real one where it runs) names the server program ("mariadbd", "mysqld", "mysqld-nt", "mysql-nt" or
// "mysql" in its file name, in that order of preference) and maybe its option file ("--defaults-file=",
// quoted or not). Then, first found wins:
// 1. "--datadir=" on the command line;
// 2. in the server's option file: the "--defaults-file=" one, else "my.cnf" beside the program, else
//    "my.cnf" in the program folder's parent: "datadir" of [mysqld], [mariadbd] or [server], the first
//    "datadir=" anywhere in it (ParseMySqlDataDir), or its folder + "data" when that is a folder;
// 3. "datadir" of those groups in the machine's option file (/etc/mysql/my.cnf and what it includes);
// 4. the server program's own answer ("--verbose --help"), its compiled default on a stock Debian server;
//    asked only of a trusted program (IsTrustedProgram).
// Paths keep their case; the value is given as written.
namespace zov {

enum class MySqlDataDirFailure {
    None,
    NoCommandLine,  // the service is unknown or its command line cannot be read
    NotMySql,       // the command line names no server program
    NoOptionFile,   // no option file found and the program gave no answer
    NoDataDir,      // an option file, but no data folder in it nor from the program
    Untrusted,      // only running processes of that name that are not believed (see SearchMySqlDataDir)
};

struct MySqlDataDirSearch {
    MySqlDataDirFailure failure = MySqlDataDirFailure::None;
    int error = 0;              // with NoCommandLine: the service manager's errno-style code
    std::string programFolder;  // the server program's folder, with a trailing '/'
    std::string optionFile;     // the option file read (or the last one looked for)
    std::string dataDir;
};

// Where step 3 and 4 look; tests point them elsewhere.
struct MySqlMachineLayout {
    std::string optionFile = "/etc/mysql/my.cnf";
    bool askProgram = true;
};

// The option groups the server reads its own settings from.
inline const std::vector<std::string> kMySqlServerGroups{"mysqld", "mariadbd", "server"};

// True when the command line names a server program (the management program lists such services).
bool IsMySqlServerCommand(const std::string& commandLine);

MySqlDataDirSearch SearchMySqlDataDir(const ServiceInfo& service, const MySqlMachineLayout& layout = {});
// The service found by name through the service manager of this installation. A server that runs
// unregistered (found among the processes, where any user may start one of that name) is believed only when
// its program is trusted (IsTrustedProgram) and it runs as root, or as a system account (uid 1 to 999, as
// "mysql"; never a person's account, nor "nobody") that owns the data folder it names (then the program is
// not asked, as its options are that account's); the lowest pid believed wins.
MySqlDataDirSearch SearchMySqlDataDir(const std::string& serviceName, const MySqlMachineLayout& layout = {});

// SearchMySqlDataDir(serviceName).dataDir: "" when not found.
std::string FindMySqlDataDir(const std::string& serviceName);

// The text after the first "datadir=" of the file (case-sensitive, any group, no blanks around '='), up to
// the line end, without surrounding blanks and quotes; "" when the file or the key is missing.
std::string ParseMySqlDataDir(const std::string& path);

}  // namespace zov
