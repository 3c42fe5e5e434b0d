#include "tools/rar/SourceTree.h"

#include <filesystem>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"

namespace zov::rar {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Lists what goes into the archive, in name order.
class TreeWalker {
  public:
    TreeWalker(const Selection& selection, Reporter& reporter, const std::set<FileId>& skipped,
               const MadeFiles& made, const TakeItem& take)
        : selection_(selection), reporter_(reporter), skipped_(skipped), made_(made), take_(take) {}

    // source: diskPath is the source the command names.
    void Visit(const std::string& diskPath, const std::string& storedName, const struct stat& st,
               bool insideTaken, bool source = false) {
        const FileId id{st.st_dev, st.st_ino};
        if (stopped_ || Interrupted() || skipped_.count(id) > 0 || made_.Contains(id)) return;
        const Selection::Verdict verdict = source && S_ISDIR(st.st_mode)
                                               ? selection_.JudgeSourceFolder(diskPath)
                                               : selection_.Judge(diskPath, insideTaken);
        if (verdict.excluded) return;
        if (S_ISDIR(st.st_mode)) {
            if (verdict.take && !storedName.empty()) Take({diskPath, storedName, st});
            VisitChildren(diskPath, storedName, verdict.takeSubtree);
        } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            if (verdict.take) Take({diskPath, storedName, st});
        }
    }

  private:
    void Take(SourceItem&& item) { stopped_ = !take_(std::move(item)); }

    void VisitChildren(const std::string& folder, const std::string& storedName, bool insideTaken) {
        bool listed = false;
        const std::vector<std::string> names = ListFolder(folder, &listed);
        if (!listed) {
            reporter_.Report(kOpenError, SystemError("cannot open folder", folder));
            return;
        }
        for (const std::string& name : names) {
            if (stopped_) return;
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
    const MadeFiles& made_;
    const TakeItem& take_;
    bool stopped_ = false;
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

void ListSource(const std::string& source, const struct stat& sourceStat, const std::string& storedRoot,
                const Selection& selection, const std::set<FileId>& skipped, const MadeFiles& made,
                Reporter& reporter, const TakeItem& take) {
    TreeWalker walker(selection, reporter, skipped, made, take);
    walker.Visit(source, storedRoot, sourceStat, false, true);
}

}  // namespace zov::rar
