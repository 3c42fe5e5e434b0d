#include "tools/rar/SourceTree.h"

#include <filesystem>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"

namespace zov::rar {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Lists what goes into the archive, in name order, before anything is written.
class TreeWalker {
  public:
    TreeWalker(const Selection& selection, Reporter& reporter, const std::set<FileId>& skipped)
        : selection_(selection), reporter_(reporter), skipped_(skipped) {}

    // source: diskPath is the source the command names.
    void Visit(const std::string& diskPath, const std::string& storedName, const struct stat& st,
               bool insideTaken, bool source = false) {
        if (Interrupted() || skipped_.count({st.st_dev, st.st_ino}) > 0) return;
        const Selection::Verdict verdict = source && S_ISDIR(st.st_mode)
                                               ? selection_.JudgeSourceFolder(diskPath)
                                               : selection_.Judge(diskPath, insideTaken);
        if (verdict.excluded) return;
        if (S_ISDIR(st.st_mode)) {
            if (verdict.take && !storedName.empty()) items_.push_back({diskPath, storedName, st});
            VisitChildren(diskPath, storedName, verdict.takeSubtree);
        } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            if (verdict.take) items_.push_back({diskPath, storedName, st});
        }
    }

    std::vector<SourceItem>& items() { return items_; }

  private:
    void VisitChildren(const std::string& folder, const std::string& storedName, bool insideTaken) {
        bool listed = false;
        const std::vector<std::string> names = ListFolder(folder, &listed);
        if (!listed) {
            reporter_.Report(kOpenError, SystemError("cannot open folder", folder));
            return;
        }
        for (const std::string& name : names) {
            const std::string child = Join(folder, name);
            struct stat st {};
            if (lstat(child.c_str(), &st) != 0) {
                reporter_.Report(kOpenError, SystemError("cannot open", child));
                continue;
            }
            Visit(child, storedName.empty() ? name : storedName + "/" + name, st, insideTaken);
        }
    }

    const Selection& selection_;
    Reporter& reporter_;
    const std::set<FileId>& skipped_;
    std::vector<SourceItem> items_;
};

}  // namespace

std::string StoredRoot(const std::string& source, bool excludeBasePath) {
    if (excludeBasePath) {
        const std::string absolute = std::filesystem::path(AbsolutePath(source)).lexically_normal().string();
        const std::string clean = CleanSlashes(absolute);
        return clean.substr(clean.rfind('/') + 1);  // "" for the root folder
    }
    std::string stored;
    for (const auto& part : std::filesystem::path(source).lexically_normal()) {
        const std::string name = part.string();
        if (name.empty() || name == "/" || name == "." || name == "..") continue;
        stored += (stored.empty() ? "" : "/") + name;
    }
    return stored;
}

std::string StoredRootUnder(const std::string& archivePath, const std::string& source, bool isFolder) {
    std::string path = CleanSlashes(archivePath);
    if (!path.empty() && path.front() == '/') path.erase(0, 1);
    if (isFolder) return path;
    const std::string name = StoredRoot(source, true);
    return path.empty() ? name : path + "/" + name;
}

std::vector<SourceItem> ListSource(const std::string& source, const struct stat& sourceStat,
                                   const std::string& storedRoot, const Selection& selection,
                                   const std::set<FileId>& skipped, Reporter& reporter) {
    TreeWalker walker(selection, reporter, skipped);
    walker.Visit(source, storedRoot, sourceStat, false, true);
    return std::move(walker.items());
}

}  // namespace zov::rar
