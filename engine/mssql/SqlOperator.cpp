#include "engine/mssql/SqlOperator.h"

#include "engine/mssql/SqlServerConnection.h"
#include "engine/mssql/SqlServerNames.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "platform/Paths.h"

namespace zov {
namespace {

bool IsSampleOrSystem(const std::string& name) {
    for (const char* sample : {"pubs", "model", "msdb", "northwind", "Northwind"}) {
        if (name == sample) return true;
    }
    return false;
}

// The texts of the column "name" of every row; false when the result has no such column.
bool NameColumn(const OdbcRows& rows, std::vector<std::string>& names) {
    const int column = rows.ColumnIndex("name");
    if (column < 0) return false;
    for (const auto& row : rows.rows) names.push_back(row[static_cast<std::size_t>(column)]);
    return true;
}

}  // namespace

bool CSQLOperator::Open(const std::string& instance, const std::string& database) {
    SqlServerSettings settings;
    if (!ReadSqlServerSettings(settings, message_)) return false;
    if (!connection_.Open(SqlServerConnectionString(settings, instance, database), kSqlServerLoginTimeout)) {
        message_ = "连接SQL Server " + SqlServerTarget(settings, instance) + " 失败：" + connection_.error();
        return false;
    }
    connection_.SetQueryTimeout(kSqlServerStatementTimeout);
    return true;
}

bool CSQLOperator::Connect(const std::string& instance) { return Open(instance, ""); }

bool CSQLOperator::ListDatabases(const std::string& instance, std::vector<std::string>& out,
                                 bool includeSystem) {
    if (!Connect(instance)) return false;
    out.clear();
    OdbcRows rows;
    std::vector<std::string> names;
    if (!connection_.Execute("select name,crdate,filename from master..sysdatabases", &rows) ||
        !NameColumn(rows, names)) {
        message_ = connection_.error().empty() ? "数据库列表中没有name列" : connection_.error();
        return false;
    }
    for (const std::string& name : names) {
        const std::string lower = LowerCopy(name);
        if (lower == "tempdb" || lower == "master") continue;
        if (!includeSystem && IsSampleOrSystem(name)) continue;
        out.push_back(name);
    }
    return true;
}

bool CSQLOperator::ListDatabaseNames(const std::string& instance, std::vector<std::string>& out,
                                     bool includeSystem) {
    if (!Connect(instance)) return false;
    out.clear();
    OdbcRows rows;
    std::vector<std::string> names;
    if (!connection_.Execute("select name from master..sysdatabases", &rows) || !NameColumn(rows, names)) {
        message_ = "获取实例" + instance + "的数据库失败。" + connection_.error();
        return false;
    }
    for (const std::string& name : names) {
        const std::string lower = LowerCopy(name);
        if (includeSystem ? lower == "tempdb" || lower == "master" : IsLeftOutOfBackups(lower)) continue;
        out.push_back(name);
    }
    return true;
}

bool CSQLOperator::BackupDatabase(const std::string& instance, const std::string& database,
                                  const std::string& folder) {
    if (!IsDirectory(folder)) {
        message_ = "备份数据库时，目标文件夹 " + folder + " 不存在";
        return false;
    }
    std::vector<std::string> names;
    if (!ListDatabases(instance, names, false)) return false;
    for (const std::string& name : names) {
        if (!EqualsIgnoreAsciiCase(name, database)) continue;
        const std::string file = WithTrailingSlash(folder) + DatabaseFileName(name) + ".bak";
        if (connection_.Execute("backup database [" + BracketEscaped(name) + "] to disk='" +
                                QuoteEscaped(file) + "'")) {
            return true;
        }
        message_ = connection_.error();
        return false;
    }
    message_ = MissingDatabaseText(database);
    return false;
}

bool IsLeftOutOfBackups(const std::string& name) {
    const std::string lower = LowerCopy(name);
    return lower == "tempdb" || lower == "master" || IsSampleOrSystem(lower);
}

std::string MissingDatabaseText(const std::string& database) {
    return "备份数据库 " + database + " 时指定的数据库实例中，没有对应的数据库";
}

bool CSQLOperator::GetInstances(std::vector<std::string>& out) {
    const std::optional<std::string> listed =
        IniFile(ConfigIniPath()).TryRead("Instances", kSqlServerSection);
    if (!listed) {
        message_ = "获取SQL Server实例时，打开注册表键失败";
        return false;
    }
    SplitToArray(out, listed->empty() ? kDefaultSqlServerInstance : *listed, "|");
    if (out.empty()) message_ = "获取SQL Server实例时，获取注册表键值失败";
    return !out.empty();
}

bool CSQLOperator::GetInstancesNoRedirect(std::vector<std::string>& out) { return GetInstances(out); }

}  // namespace zov
