#include "engine/filter/FilterSet.h"

#include <algorithm>

#include "engine/util/CommonText.h"

namespace zov {

// '|' separates the items in the store, so an item holding one would come back as two.
bool NormalizeFilterItem(std::string& item) {
    if (item.empty() || item.find_first_of("<>?|") != std::string::npos) return false;
    ToLower(item);
    return true;
}

void FilterSet::Add(std::string item) {
    if (!NormalizeFilterItem(item) || Contains(item, false)) return;
    extensions.push_back(std::move(item));
}

void FilterSet::Remove(std::string item) {
    if (!NormalizeFilterItem(item)) return;
    std::erase(extensions, item);
}

bool FilterSet::Contains(std::string item, bool normalise) const {
    if (normalise && !NormalizeFilterItem(item)) return false;
    return std::find(extensions.begin(), extensions.end(), item) != extensions.end();
}

}  // namespace zov
