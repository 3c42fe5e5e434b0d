#include "engine/filter/FilterRule.h"

namespace zov {
namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the UTF-8 character that starts at text[i] (1 for a stray byte).
std::size_t CharLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    return i + length <= text.size() ? length : 1;
}

}  // namespace

bool WildcardMatches(std::string_view pattern, std::string_view text) {
    if (pattern == "*.*") return true;
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starText = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            t += CharLength(text, t);
        } else if (p < pattern.size() && FoldAscii(pattern[p]) == FoldAscii(text[t])) {
            ++p;
            ++t;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            starText += CharLength(text, starText);
            t = starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool PatternMatchesEntry(std::string_view pattern, std::string_view path) {
    if (pattern.find('/') != std::string_view::npos) return WildcardMatches(pattern, path);
    const std::size_t slash = path.rfind('/');
    return WildcardMatches(pattern, slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::string_view> ItemPatterns(std::string_view item) {
    std::vector<std::string_view> patterns;
    for (;;) {
        const std::size_t semicolon = item.find(';');
        std::string_view pattern = item.substr(0, semicolon);
        while (!pattern.empty() && pattern.front() == ' ') pattern.remove_prefix(1);
        if (!pattern.empty()) patterns.push_back(pattern);
        if (semicolon == std::string_view::npos) return patterns;
        item.remove_prefix(semicolon + 1);
    }
}

}  // namespace zov
