#pragma once

#include <string>

#include "engine/FilterSet.h"

namespace zov {

// The extension filter test of a file task. False when the path does not exist; true for an empty list.
// The key is "/" + the folder's own name for a folder, the extension with its dot for a file; a listed key
// passes when the set takes only the listed items, an unlisted one when it leaves them out.
bool FilterPasses(const std::string& path, const FilterSet& filter);

}  // namespace zov
