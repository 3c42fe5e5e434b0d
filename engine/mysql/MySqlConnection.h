#pragma once

#include <string>

#include "engine/files/CacheFolder.h"
#include "engine/mysql/MySqlDataDir.h"

// How every client of the system reaches a local server: config.ini [MYSQL] "Socket", "Host" and "Port"
// where they are set, otherwise the socket and port of the server's own options, otherwise the client
// defaults of the machine (on Debian the server's socket, where root may log in by its socket). The user
// is always "root".
namespace zov {

inline constexpr const char* kMySqlUser = "root";

struct MySqlConnection {
    std::string socket;
    std::string host;
    std::string port;  // a port without host or socket means 127.0.0.1
};

// config.ini [MYSQL].
MySqlConnection ReadMySqlConnection();

// Where the login test, the dumps and the restores of a task reach the server it names: config.ini [MYSQL]
// when it sets Socket, Host or Port; else the socket and port of that server's options, a port alone
// meaning 127.0.0.1.
MySqlConnection MySqlServerConnection(const MySqlDataDirSearch& server);
// The same for the server found by its name (SearchMySqlDataDir).
MySqlConnection MySqlServerConnection(const std::string& serverName);

// The host a client is given: Host, or 127.0.0.1 for a Port without Host or Socket; "" leaves it to the
// socket or the client's defaults.
std::string MySqlHost(const MySqlConnection& connection);

// Where a client of the connection goes, for messages: the socket, host:port (3306 unless set), or the
// client defaults of the machine.
std::string MySqlServerAddress(const MySqlConnection& connection);

// The text of a client option file for the connection and the password: group [client] with the user,
// the password unless it is empty (then the server is asked without one) and the connection's values,
// each quoted so that the client reads it back unchanged; group [mysql], which only the command-line
// client reads, with its connect time-out (MySqlBounds().connect; the dump tool knows no such option).
std::string MySqlClientOptionText(const MySqlConnection& connection, const std::string& password);

// The option file of one job, handed to a client as its first option ("--defaults-extra-file=" + path()):
// "client.cnf" (0600) in a private work folder of the cache folder, removed with the folder when the
// object ends. The password never reaches a command line.
class MySqlClientOptions {
  public:
    MySqlClientOptions(const MySqlConnection& connection, const std::string& password);

    // False with error() set when the file could not be written.
    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // The first argument of a client run.
    std::string Argument() const { return "--defaults-extra-file=" + path_; }
    // MySqlServerAddress of the connection.
    const std::string& server() const { return server_; }

  private:
    CacheWorkFolder folder_;
    std::string server_;
    std::string path_;
    std::string error_;
};

}  // namespace zov
