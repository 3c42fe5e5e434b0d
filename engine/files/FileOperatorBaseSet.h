#pragma once

#include <string>

// The base of a differential task: the newest full backup of its item in the dated folders
// (CFileOperator::FindBaseArchive).
namespace zov::fileops {

std::string FindBaseArchive(const std::string& storage, const std::string& name, int periodDays);

}  // namespace zov::fileops
