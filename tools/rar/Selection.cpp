#include "tools/rar/Selection.h"

#include <utility>

#include "engine/filter/FilterRule.h"
#include "tools/rar/FileSystem.h"

namespace zov::rar {

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
        std::vector<std::string> lines;
        if (!ReadListFile(file, lines)) {
            error = file;
            return false;
        }
        hasList_ = true;
        for (const std::string& line : lines) listed_.insert(CleanSlashes(line));
    }
    return true;
}

bool Selection::AnyMatches(const std::vector<std::string>& masks, const std::string& path) const {
    for (const std::string& mask : masks) {
        if (PatternMatchesEntry(mask, path)) return true;
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

Selection::Verdict Selection::JudgeSourceFolder(const std::string& path) const {
    Verdict verdict;
    verdict.take = include_.empty() && (!hasList_ || listed_.count(path) > 0);
    return verdict;
}

}  // namespace zov::rar
