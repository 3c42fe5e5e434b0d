#pragma once

#include <string>
#include <string_view>

#include "engine/FilterSet.h"

// The one filter rule of a file task: the set's items are wildcard patterns ('*' any run of characters,
// '?' one character, ASCII case ignored; "*.*" matches everything; an item may hold several patterns
// separated by ';'), matched against an entry's name or its full path.
namespace zov {

// True when text matches one of the filter's items.
bool FilterMatches(const FilterSet& filter, std::string_view text);

// The name test: an empty name never passes; otherwise a name matching an item passes when the set takes
// only the listed items, a name matching none when it leaves them out.
bool FilterNamePasses(const FilterSet& filter, std::string_view name);

// The same test for an entry of a tree, which matches an item by its name or by its full path
// ("*/temp/*" leaves out everything below a folder temp).
bool FilterEntryPasses(const FilterSet& filter, std::string_view name, std::string_view path);

// The test on an existing path: false when it does not exist; true for an empty list; otherwise
// FilterEntryPasses with the path's last component.
bool FilterPasses(const std::string& path, const FilterSet& filter);

}  // namespace zov
