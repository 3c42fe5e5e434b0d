#pragma once

#include <string>

// Copying one entry of CFileOperator's copies: file data through the kernel where it can, links as links,
// attributes kept.
namespace zov::fileops {

// 0 or an errno value. An existing target is replaced unless failIfExists; a link in the way is removed,
// never written through; the source itself is never overwritten.
int CopyEntryData(const std::string& from, const std::string& to, bool failIfExists);

// Gives the folder target the permission bits, owner and times of the folder source (best effort).
void CopyFolderAttributes(const std::string& source, const std::string& target);

}  // namespace zov::fileops
