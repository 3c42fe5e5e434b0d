#pragma once

#include <string>
#include <vector>

// The sub-folders a per-sub-folder task backs up one by one.
namespace zov {

// The direct sub-folders of source, sorted: names beginning with '.', links to folders and the storage
// folder lying inside the source left out.
std::vector<std::string> SubfoldersToBackUp(const std::string& source, const std::string& storage);

}  // namespace zov
