#pragma once

#include <string>
#include <vector>

#include "engine/util/FolderHandle.h"

// Helpers of the storage-tree walks of CFileOperator (deletions, expiry, base lookup).
namespace zov {

// Removes entry name of folder (FolderHandle::Remove); with log, writes the interface-log record of an
// automatic deletion of shownPath ("自动任务", "删除文件", "成功"/"失败"). 0 or an errno value.
int RemoveLogged(const FolderHandle& folder, const std::string& name, const std::string& shownPath, bool log);

// The names of the dated folders "YYYY-MM-DD" directly in storage that are folders themselves (links are
// left out), sorted.
std::vector<std::string> DatedFolderNames(const FolderHandle& storage);

}  // namespace zov
