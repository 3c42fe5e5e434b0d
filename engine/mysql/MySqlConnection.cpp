#include "engine/mysql/MySqlConnection.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/mysql/MySqlRun.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"

namespace zov {
namespace {

constexpr const char* kSection = "MYSQL";
constexpr const char* kLocalAddress = "127.0.0.1";
constexpr const char* kFileName = "client.cnf";
constexpr const char* kDefaultPort = "3306";

// In double quotes, with the escapes the client reads back.
std::string Quoted(const std::string& value) {
    std::string text = "\"";
    for (char c : value) {
        switch (c) {
            case '"':
                text += "\\\"";
                break;
            case '\\':
                text += "\\\\";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\b':
                text += "\\b";
                break;
            default:
                text += c;
        }
    }
    return text + "\"";
}

bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

MySqlConnection ReadMySqlConnection() {
    const IniFile config(ConfigIniPath());
    return MySqlConnection{config.Read("Socket", kSection), config.Read("Host", kSection),
                           config.Read("Port", kSection)};
}

MySqlConnection MySqlServerConnection(const MySqlDataDirSearch& server) {
    MySqlConnection connection = ReadMySqlConnection();
    if (!connection.socket.empty() || !connection.host.empty() || !connection.port.empty()) return connection;
    connection.socket = server.socket;
    connection.port = server.port;
    return connection;
}

MySqlConnection MySqlServerConnection(const std::string& serverName) {
    return MySqlServerConnection(SearchMySqlDataDir(serverName));
}

std::string MySqlHost(const MySqlConnection& connection) {
    if (connection.host.empty() && connection.socket.empty() && !connection.port.empty())
        return kLocalAddress;
    return connection.host;
}

std::string MySqlServerAddress(const MySqlConnection& connection) {
    if (!connection.socket.empty()) return connection.socket;
    const std::string host = MySqlHost(connection);
    if (!host.empty()) return host + ":" + (connection.port.empty() ? kDefaultPort : connection.port);
    return "（本机客户端默认设置）";
}

std::string MySqlClientOptionText(const MySqlConnection& connection, const std::string& password) {
    std::string text = "[client]\nuser=" + Quoted(kMySqlUser) + "\n";
    if (!password.empty()) text += "password=" + Quoted(password) + "\n";
    const std::string host = MySqlHost(connection);
    if (!connection.socket.empty()) text += "socket=" + Quoted(connection.socket) + "\n";
    if (!host.empty()) text += "host=" + Quoted(host) + "\n";
    if (!connection.port.empty()) text += "port=" + Quoted(connection.port) + "\n";
    return text + "[mysql]\nconnect-timeout=" + std::to_string(MySqlBounds().connect.count()) + "\n";
}

MySqlClientOptions::MySqlClientOptions(const MySqlConnection& connection, const std::string& password)
    : server_(MySqlServerAddress(connection)) {
    if (folder_.path().empty()) {
        error_ = "无法建立MySQL客户端的临时文件夹";
        return;
    }
    const std::string path = folder_.path() + kFileName;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "无法写入MySQL客户端选项文件" + path + "：" + std::strerror(errno);
        return;
    }
    const bool written = WriteAll(fd, MySqlClientOptionText(connection, password));
    const int code = errno;
    ::close(fd);
    if (!written) {
        error_ = "无法写入MySQL客户端选项文件" + path + "：" + std::strerror(code);
        return;
    }
    path_ = path;
}

}  // namespace zov
