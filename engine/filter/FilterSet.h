#pragma once

#include <string>
#include <vector>

namespace zov {

// Normalises a filter item in place: ASCII letters lower-cased, '/' and '\' kept as typed.
// False (item unchanged) when it is empty or holds any of "<>?|".
bool NormalizeFilterItem(std::string& item);

// The name filter of a file task: wildcard patterns that are either left out (exclude) or the only
// items taken. A new set excludes nothing, so it passes every name.
struct FilterSet {
    bool exclude = true;
    std::vector<std::string> extensions;  // normalised, without duplicates, in the order added

    // Normalises the item and appends it unless it is rejected or already listed.
    void Add(std::string item);
    // Normalises the item and removes the matching entry.
    void Remove(std::string item);
    void Clear() { extensions.clear(); }
    // True when the list holds the item; with normalise the item is normalised first (a rejected item
    // gives false).
    bool Contains(std::string item, bool normalise) const;

    bool operator==(const FilterSet&) const = default;
};

}  // namespace zov
