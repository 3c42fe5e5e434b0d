#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "engine/util/FolderHandle.h"

// Folder creation and listing of CFileOperator.
namespace zov::fileops {

// See CFileOperator::CreateFolder.
int CreateFolder(const std::string& folder);

// See CFileOperator::MakePrivateFolder.
bool MakePrivateFolder(const std::string& folder);

// Makes the folder (one level) unless a real folder, not a link, is there already. False with errno.
bool MakeFolder(const std::string& folder);

// See CFileOperator::ListSubfolders.
void ListSubfolders(const std::string& folder, std::vector<std::string>& names);

// A dated folder holds one day; the keep days and base periods of tasks count days of this length.
inline constexpr std::time_t kSecondsPerDay = 86400;

// The names of the dated folders "YYYY-MM-DD" directly in storage that are folders themselves (links are
// left out), sorted.
std::vector<std::string> DatedFolderNames(const FolderHandle& storage);
std::vector<std::string> ListDatedFolders(const std::string& storage);

}  // namespace zov::fileops
