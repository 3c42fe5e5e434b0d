#pragma once

#include <string>

// Where the SQL Server of a task is reached: config.ini [MSSQL] "Driver" (default: the FreeTDS driver
// registered with unixODBC), "Host" (default: this computer's name), "Port" (default: the driver's),
// "User" and "Password" (none: the driver's own login), "Instances" (the instance list; default
// "MSSQLSERVER"), and the account the server runs as, "ServerAccount".
namespace zov {

inline constexpr const char* kSqlServerSection = "MSSQL";
inline constexpr const char* kDefaultSqlServerDriver = "FreeTDS";
inline constexpr const char* kDefaultSqlServerInstance = "MSSQLSERVER";
inline constexpr const char* kDefaultSqlServerAccount = "mssql";
// The login and statement time-outs, in seconds.
inline constexpr int kSqlServerLoginTimeout = 30;
inline constexpr int kSqlServerStatementTimeout = 9999;

struct SqlServerSettings {
    std::string driver = kDefaultSqlServerDriver;
    std::string host;
    std::string port;
    std::string user;
    std::string password;
};

// The local account the SQL Server runs as, which writes and reads the backup files: config.ini [MSSQL]
// "ServerAccount", default "mssql".
std::string SqlServerAccount();

// config.ini, when it holds the SQL Server password, kept from other users (KeepConfigIniPrivate). Both
// programs call it when they start; reading the settings does too.
bool KeepSqlServerPasswordPrivate();

// The settings of config.ini; false with message set when this computer's name is needed and cannot be
// had, or when a value holds "};", which the driver cannot be given.
bool ReadSqlServerSettings(SqlServerSettings& settings, std::string& message);

// The server of an instance: the host for the default instance (empty or "MSSQLSERVER"), else
// host + '\' + instance.
std::string SqlServerName(const std::string& host, const std::string& instance);

// The ODBC connection string of an instance (database "" keeps the login's default database). Values
// that need it are put in braces; the protocol is TDS 7.4.
std::string SqlServerConnectionString(const SqlServerSettings& settings, const std::string& instance,
                                      const std::string& database = "");

// The server and port for messages; never the password.
std::string SqlServerTarget(const SqlServerSettings& settings, const std::string& instance);

}  // namespace zov
