#include "engine/mssql/SqlOperator.h"
#include "engine/mssql/SqlServerNames.h"
#include "engine/util/CommonPaths.h"

namespace zov {
namespace {

// Ends every session of the database @dbname. The name is a parameter of the cursor's query, never part
// of a statement text, so any name is safe.
constexpr const char* kKillSpidProcedure =
    "create proc killspid (@dbname sysname)\n"
    "as\n"
    "begin\n"
    "\tdeclare @spid int\n"
    "\tdeclare getspid cursor local for\n"
    "\t\tselect spid from master..sysprocesses where dbid=db_id(@dbname)\n"
    "\topen getspid\n"
    "\tfetch next from getspid into @spid\n"
    "\twhile @@fetch_status <> -1\n"
    "\tbegin\n"
    "\t\texec ('kill ' + cast(@spid as varchar(12)))\n"
    "\t\tfetch next from getspid into @spid\n"
    "\tend\n"
    "\tclose getspid\n"
    "\tdeallocate getspid\n"
    "end";

constexpr const char* kKillSpidCheck =
    "SELECT count(*) as num FROM dbo.sysobjects WHERE id=object_id(N'[dbo].[killspid]') AND "
    "OBJECTPROPERTY(id, N'IsProcedure') =1";

}  // namespace

bool CSQLOperator::ConnectForRestore(const std::string& instance, const std::string& database) {
    if (database.empty()) return false;
    if (!Open(instance, "master")) return false;
    OdbcRows rows;
    if (!connection_.Execute(kKillSpidCheck, &rows)) {
        message_ = connection_.error();
        return false;
    }
    const int column = rows.ColumnIndex("num");
    if (column < 0 || rows.rows.empty()) {
        message_ = "查询存储过程killspid失败";
        return false;
    }
    const std::string& count = rows.rows[0][static_cast<std::size_t>(column)];
    if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos) {
        message_ = "查询存储过程killspid失败";
        return false;
    }
    const bool missing = count.find_first_not_of('0') == std::string::npos;
    if ((missing && !connection_.Execute(kKillSpidProcedure)) ||
        !connection_.Execute("exec killspid '" + QuoteEscaped(database) + "'")) {
        message_ = connection_.error();
        return false;
    }
    return true;
}

bool CSQLOperator::RestoreDatabase(const std::string& instance, const std::string& database,
                                   const std::string& file) {
    if (!FileExists(file)) {
        message_ = "还原数据库时，指定的数据库备份文件 " + file + " 不存在";
        return false;
    }
    if (!Connect(instance)) return false;
    if (!connection_.Execute("restore database [" + BracketEscaped(database) + "] from disk='" +
                             QuoteEscaped(file) + "' with replace")) {
        message_ = connection_.error();
        return false;
    }
    return true;
}

}  // namespace zov
