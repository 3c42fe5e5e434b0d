#include "tools/rar/Selection.h"

#include <fstream>
#include <utility>

namespace zov::rar {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

std::string_view LastComponent(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool MatchesMask(std::string_view mask, std::string_view text) {
    std::size_t m = 0;
    std::size_t t = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starText = t;
        } else if (m < mask.size() && mask[m] == '?') {
            ++m;
            t += CharLength(text, t);
        } else if (m < mask.size() && FoldAscii(mask[m]) == FoldAscii(text[t])) {
            ++m;
            ++t;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            starText += CharLength(text, starText);
            t = starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::string CleanSlashes(std::string_view path) {
    std::string clean;
    clean.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !clean.empty() && clean.back() == '/') continue;
        clean.push_back(c);
    }
    while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
    return clean;
}

Selection::Selection(std::vector<std::string> includeMasks, std::vector<std::string> excludeMasks)
    : include_(std::move(includeMasks)), exclude_(std::move(excludeMasks)) {}

bool Selection::LoadLists(const std::vector<std::string>& listFiles, std::string& error) {
    for (const std::string& file : listFiles) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            error = file;
            return false;
        }
        hasList_ = true;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) listed_.insert(CleanSlashes(line));
        }
        if (in.bad()) {
            error = file;
            return false;
        }
    }
    return true;
}

bool Selection::AnyMatches(const std::vector<std::string>& masks, const std::string& path) const {
    for (const std::string& mask : masks) {
        const bool withPath = mask.find('/') != std::string::npos;
        if (MatchesMask(mask, withPath ? std::string_view(path) : LastComponent(path))) return true;
    }
    return false;
}

Selection::Verdict Selection::Judge(const std::string& path, bool insideTaken) const {
    Verdict verdict;
    verdict.excluded = AnyMatches(exclude_, path);
    if (verdict.excluded) return verdict;
    verdict.takeSubtree = insideTaken || (!include_.empty() && AnyMatches(include_, path));
    const bool included = include_.empty() || verdict.takeSubtree;
    const bool listed = !hasList_ || listed_.count(path) > 0;
    verdict.take = included && listed;
    return verdict;
}

}  // namespace zov::rar
