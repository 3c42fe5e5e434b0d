#pragma once

#include <string>
#include <string_view>

#include "engine/filter/FilterSet.h"

// The filter of a file task: each item holds wildcard patterns separated by ';', and every pattern selects
// entries by the one rule of common/FilterRule.h (a pattern with '/' is matched against an entry's full
// path, any other against its name), as the archiver's masks do.
namespace zov {

// True when a pattern of the filter matches the entry at path (its full path, no trailing '/').
bool FilterMatches(const FilterSet& filter, std::string_view path);

// The test on an entry of a tree: an empty name never passes; otherwise an entry matching the filter
// passes when the set takes only the listed items, one matching none when it leaves them out.
bool FilterEntryPasses(const FilterSet& filter, std::string_view path);

// The same test on a bare name.
bool FilterNamePasses(const FilterSet& filter, std::string_view name);

// The test on an existing path: false when it does not exist; true for an empty list; otherwise
// FilterEntryPasses.
bool FilterPasses(const std::string& path, const FilterSet& filter);

}  // namespace zov
