#pragma once

#include <string>

// The full set a differential entry was made against.
namespace zov {

// For an entry <storage>/diff/<set>/<stamp>[.rar|.partN.rar] (set = <name>_<stamp of the base>): the
// first dated folder of storage (in name order) holding the base <set> as a folder (not a link) or as an
// archive <set>.rar / <set>.part1.rar (any width of N); "" when none holds it.
std::string FindDifferentialBase(const std::string& entry);

}  // namespace zov
