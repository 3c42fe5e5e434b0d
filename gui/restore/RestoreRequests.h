#pragma once

#include <map>
#include <string>
#include <vector>

// What a restore is asked to do. Every request travels by value: the restore that runs it works on its own
// copy, so a later request never changes one that runs.
namespace zov::gui {

// The options of one restore item (the restore dialog's "保存设置").
struct RestoreItemOptions {
    std::string differential;  // the item: a full set or a differential entry (folder or rar archive)
    std::string base;          // the full set laid under a differential entry; "" restores the item alone
    std::string target;        // the folder it is restored into
    std::string password;      // the extract password; "" gives none
};

// Items restored each with its own options, in key order.
using RestoreBatch = std::map<int, RestoreItemOptions>;

// The restore of checked items of a file task with the task's own settings.
struct FileRestoreRequest {
    int taskId = 0;
    int sets = 0;          // the task's per-sub-folder setting: 1 restores checkedItems, 0 the source
    int differential = 0;  // 1 when source is a differential entry (sets 0)
    std::string source;    // sets 0: the one item to restore; 1: the task's storage folder
    std::string target;    // the task's source + "_New"
    std::string password;  // the task's extract password; "" gives none
    std::vector<std::string> checkedItems;  // the items, in tree order, each restored by its own kind
};

// The restore of a SQL Server backup archive "<database>_<stamp>.rar" into the database.
struct SqlRestoreRequest {
    int taskId = 0;
    std::string instance;  // "" or "MSSQLSERVER": the default instance
    std::string database;
    std::string backupFile;
    std::string password;  // the archive's; "" gives none
};

// The restore of a MySQL backup archive "<database>_<stamp>.rar" into the database of the server that the
// service runs.
struct MySqlRestoreRequest {
    int taskId = 0;
    std::string serviceName;
    std::string database;
    std::string backupFile;
    std::string password;      // the archive's; "" gives none
    std::string rootPassword;  // of the server's user "root"; "" logs in without one
};

}  // namespace zov::gui
