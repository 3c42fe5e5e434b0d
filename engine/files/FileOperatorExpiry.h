#pragma once

#include <string>

// Expiry of backup sets older than a task's keep days: CFileOperator::DeleteExpiredSets and
// CFileOperator::DeleteExpiredDiffSets.
namespace zov::fileops {

void DeleteExpiredSets(const std::string& storage, int keepDays);
void DeleteExpiredDiffSets(const std::string& folder, int keepDays, const std::string& diffFolder);

}  // namespace zov::fileops
