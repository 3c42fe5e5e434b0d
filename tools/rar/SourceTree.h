#pragma once

#include <sys/stat.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/rar/MadeFiles.h"
#include "tools/rar/Reporter.h"
#include "tools/rar/Selection.h"

namespace zov::rar {

struct SourceItem {
    std::string diskPath;    // absolute
    std::string storedName;  // name in the archive
    struct stat st;          // as found by the walk (links not followed below the source)
};

// The name the source gets in the archive: with -ep1 the last component of its absolute path ("" for the
// root folder), else its path without the root and without "." and ".." components.
std::string StoredRoot(const std::string& source, bool excludeBasePath);
// The same under -ap<archivePath>: a folder source is stored as archivePath (its entries right below it, in
// place of its own name), a file as archivePath + "/" + its name; '/' at either end of archivePath is
// dropped, so "/" is the archive's top.
std::string StoredRootUnder(const std::string& archivePath, const std::string& source, bool isFolder);

// Everything of the source (a folder with its tree, or one file) that the selection takes, in name order,
// folders before their contents; the masks judge the entries below a source folder, not the folder itself
// (see Selection::JudgeSourceFolder). Regular files and symbolic links are taken, folders as entries of their
// own; sockets, pipes and devices hold no data and are passed over. The entries in skipped (the same file or
// folder on disk) are passed over too, a folder with its whole tree, and so is what this run made. A folder
// or entry that cannot be read is reported (6) and left out. Each item goes to take as it is found; the
// listing stops when take returns false.
using TakeItem = std::function<bool(SourceItem&& item)>;
void ListSource(const std::string& source, const struct stat& sourceStat, const std::string& storedRoot,
                const Selection& selection, const std::set<FileId>& skipped, const MadeFiles& made,
                Reporter& reporter, const TakeItem& take);

}  // namespace zov::rar
