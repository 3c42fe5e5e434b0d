#include "engine/filter/CommonFilter.h"

#include <algorithm>

#include "engine/filter/FilterRule.h"
#include "platform/Paths.h"

namespace zov {

bool FilterMatches(const FilterSet& filter, std::string_view path) {
    return std::any_of(filter.extensions.begin(), filter.extensions.end(), [&](const std::string& item) {
        const auto patterns = ItemPatterns(item);
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](std::string_view pattern) { return PatternMatchesEntry(pattern, path); });
    });
}

bool FilterEntryPasses(const FilterSet& filter, std::string_view path) {
    if (path.empty() || path.back() == '/') return false;
    return FilterMatches(filter, path) != filter.exclude;
}

bool FilterNamePasses(const FilterSet& filter, std::string_view name) {
    return FilterEntryPasses(filter, name);
}

bool FilterPasses(const std::string& path, const FilterSet& filter) {
    if (path.empty() || !PathExists(path)) return false;
    if (filter.extensions.empty()) return true;
    const std::string clean = CleanPath(path);
    if (clean == "/") return true;
    return FilterEntryPasses(filter, clean);
}

}  // namespace zov
