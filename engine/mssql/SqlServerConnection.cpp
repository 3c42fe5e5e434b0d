#include "engine/mssql/SqlServerConnection.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"

namespace zov {
namespace {

// An ODBC attribute value: in braces when it holds a character the syntax uses. The driver ends a value
// in braces at the first "};" (ExpressibleValue).
std::string OdbcValue(const std::string& value) {
    const bool plain = value.find_first_of(";{}=") == std::string::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    return plain ? value : "{" + value + "}";
}

}  // namespace

std::string SqlServerAccount() {
    const std::string account = IniFile(ConfigIniPath()).Read("ServerAccount", kSqlServerSection);
    return account.empty() ? kDefaultSqlServerAccount : account;
}

bool KeepSqlServerPasswordPrivate() {
    return IniFile(ConfigIniPath()).Read("Password", kSqlServerSection).empty() || KeepConfigIniPrivate();
}

bool ReadSqlServerSettings(SqlServerSettings& settings, std::string& message) {
    const IniFile config(ConfigIniPath());
    settings = SqlServerSettings();
    const std::string driver = config.Read("Driver", kSqlServerSection);
    if (!driver.empty()) settings.driver = driver;
    settings.host = config.Read("Host", kSqlServerSection);
    settings.port = config.Read("Port", kSqlServerSection);
    settings.user = config.Read("User", kSqlServerSection);
    settings.password = config.Read("Password", kSqlServerSection);
    if (!settings.password.empty()) KeepConfigIniPrivate();
    for (const std::string* value :
         {&settings.driver, &settings.host, &settings.port, &settings.user, &settings.password}) {
        if (value->find("};") != std::string::npos) {
            message = "config.ini [MSSQL] 的值不能含有“};”";
            return false;
        }
    }
    if (!settings.host.empty()) return true;
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        message = "获取计算机名失败，错误号" + std::to_string(errno);
        return false;
    }
    settings.host = name;
    return true;
}

std::string SqlServerName(const std::string& host, const std::string& instance) {
    if (instance.empty() || instance == kDefaultSqlServerInstance) return host;
    return host + "\\" + instance;
}

std::string SqlServerConnectionString(const SqlServerSettings& settings, const std::string& instance,
                                      const std::string& database) {
    std::string text = "Driver=" + OdbcValue(settings.driver) +
                       ";Server=" + OdbcValue(SqlServerName(settings.host, instance)) + ";";
    if (!settings.port.empty()) text += "Port=" + OdbcValue(settings.port) + ";";
    if (!database.empty()) text += "Database=" + OdbcValue(database) + ";";
    if (!settings.user.empty()) {
        text += "UID=" + OdbcValue(settings.user) + ";PWD=" + OdbcValue(settings.password) + ";";
    }
    return text + "TDS_Version=7.4;";
}

std::string SqlServerTarget(const SqlServerSettings& settings, const std::string& instance) {
    const std::string server = SqlServerName(settings.host, instance);
    return settings.port.empty() ? server : server + ":" + settings.port;
}

}  // namespace zov
