#include "engine/CommonFilter.h"

#include <algorithm>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace zov {

namespace {

bool SameLetter(char a, char b) { return FoldAscii(a) == FoldAscii(b); }

// '*' matches any run of characters, '?' one character; ASCII case is ignored.
bool WildcardMatches(std::string_view text, std::string_view pattern) {
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starText = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || SameLetter(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool ItemMatches(std::string_view text, std::string_view item) {
    while (!item.empty()) {
        const std::size_t semicolon = item.find(';');
        std::string_view pattern = item.substr(0, semicolon);
        while (!pattern.empty() && pattern.front() == ' ') pattern.remove_prefix(1);
        if (pattern == "*.*" || (!pattern.empty() && WildcardMatches(text, pattern))) return true;
        if (semicolon == std::string_view::npos) break;
        item.remove_prefix(semicolon + 1);
    }
    return false;
}

}  // namespace

bool FilterMatches(const FilterSet& filter, std::string_view text) {
    return std::any_of(filter.extensions.begin(), filter.extensions.end(),
                       [&](const std::string& item) { return ItemMatches(text, item); });
}

bool FilterNamePasses(const FilterSet& filter, std::string_view name) {
    if (name.empty()) return false;
    return FilterMatches(filter, name) != filter.exclude;
}

bool FilterEntryPasses(const FilterSet& filter, std::string_view name, std::string_view path) {
    if (name.empty()) return false;
    return (FilterMatches(filter, name) || FilterMatches(filter, path)) != filter.exclude;
}

bool FilterPasses(const std::string& path, const FilterSet& filter) {
    if (path.empty() || !PathExists(path)) return false;
    if (filter.extensions.empty()) return true;
    const std::string clean = CleanPath(path);
    const std::size_t slash = clean.rfind('/');
    const std::string name = slash == std::string::npos ? clean : clean.substr(slash + 1);
    if (name.empty()) return true;
    return FilterEntryPasses(filter, name, clean);
}

}  // namespace zov
