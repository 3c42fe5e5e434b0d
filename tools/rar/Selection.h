#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zov::rar {

// The include masks (-n), exclude masks (-x) and list files (-n@) of one run. Masks select entries by the
// shared filter rule (common/FilterRule.h): a mask without '/' is tested against an entry's name, one with
// '/' against its full path.
class Selection {
  public:
    Selection(std::vector<std::string> includeMasks, std::vector<std::string> excludeMasks);

    // Reads list files: one full path per line. False (with the failing file in error) when one is
    // unreadable.
    bool LoadLists(const std::vector<std::string>& listFiles, std::string& error);

    struct Verdict {
        bool excluded = false;     // an exclude mask matched: leave it out, folders with their whole tree
        bool take = false;         // store or extract this entry
        bool takeSubtree = false;  // a folder matched an include mask: everything below it is included
    };
    // path: the entry's full path without a trailing '/'; insideTaken: an enclosing folder had takeSubtree.
    Verdict Judge(const std::string& path, bool insideTaken) const;
    // The source folder itself: masks select what lies below it, so no mask leaves it out or takes its
    // whole tree; it is stored as an entry when no include mask or list restricts the run (or the list
    // names it).
    Verdict JudgeSourceFolder(const std::string& path) const;

  private:
    bool AnyMatches(const std::vector<std::string>& masks, const std::string& path) const;

    std::vector<std::string> include_;
    std::vector<std::string> exclude_;
    bool hasList_ = false;
    std::unordered_set<std::string> listed_;
};

// Duplicate '/' collapsed and trailing '/' removed ("/" stays "/").
std::string CleanSlashes(std::string_view path);

}  // namespace zov::rar
