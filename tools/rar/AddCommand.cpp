#include "tools/rar/AddCommand.h"

#include <sys/stat.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"
#include "tools/rar/Selection.h"
#include "tools/rar/SourceTree.h"
#include "tools/rar/VolumeOutput.h"
#include "tools/rar/ZipWriter.h"

namespace zov::rar {
namespace {

void AddIds(const std::vector<std::string>& paths, std::set<FileId>& ids) {
    for (const std::string& path : paths) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) ids.insert({st.st_dev, st.st_ino});
    }
}

// The entries the -x@ lists name: each line a path, left out as the file or folder it leads to (with its
// tree), never read as a mask. False with the unreadable list in failed.
bool AddLeftOut(const std::vector<std::string>& lists, std::set<FileId>& ids, std::string& failed) {
    for (const std::string& list : lists) {
        std::vector<std::string> paths;
        if (!ReadListFile(list, paths)) {
            failed = list;
            return false;
        }
        AddIds(paths, ids);
    }
    return true;
}

}  // namespace

void RunAdd(const Options& options, Reporter& reporter) {
    Selection selection(options.includeMasks, options.excludeMasks);
    std::set<FileId> skipped;
    std::string failedList;
    if (!selection.LoadLists(options.listFiles, failedList) ||
        !AddLeftOut(options.leftOutLists, skipped, failedList)) {
        reporter.Report(kFatalError, SystemError("cannot read list file", failedList));
        return;
    }
    // The whole list is made before the archive exists; the archive it replaces is not taken either.
    VolumeOutput output(options.archive, options.volumeBytes);
    AddIds(output.FilesToReplace(), skipped);
    std::vector<std::string> sources{options.target};
    sources.insert(sources.end(), options.moreSources.begin(), options.moreSources.end());
    std::vector<SourceItem> items;
    for (const std::string& named : sources) {
        const std::string source = AbsolutePath(named);
        struct stat st {};
        if (stat(source.c_str(), &st) != 0) {
            reporter.Report(kNoFiles, SystemError("cannot find", named));
            return;
        }
        const std::string root = options.archivePath.empty()
                                     ? StoredRoot(named, options.excludeBasePath)
                                     : StoredRootUnder(options.archivePath, named, S_ISDIR(st.st_mode));
        std::vector<SourceItem> found = ListSource(source, st, root, selection, skipped, reporter);
        items.insert(items.end(), std::make_move_iterator(found.begin()),
                     std::make_move_iterator(found.end()));
    }
    if (Interrupted()) {
        reporter.Report(kUserBreak, "interrupted");
        return;
    }
    if (items.empty()) {
        reporter.Report(kNoFiles, "no files to add");
        return;
    }

    ZipWriter writer(output, reporter);
    if (!writer.Open(options)) return;
    for (const SourceItem& item : items) {
        if (!writer.Add(item)) return;
    }
    if (!writer.Close()) return;
    if (writer.stored() == 0) return;  // no source could be opened: no archive
    std::string error;
    const ExitCode committed = output.Commit(error);
    if (committed != kSuccess) reporter.Report(committed, error);
}

}  // namespace zov::rar
