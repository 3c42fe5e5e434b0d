#include "tools/rar/AddCommand.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"
#include "tools/rar/ItemStream.h"
#include "tools/rar/MadeFiles.h"
#include "tools/rar/Selection.h"
#include "tools/rar/SourceTree.h"
#include "tools/rar/VolumeOutput.h"
#include "tools/rar/ZipWriter.h"

namespace zov::rar {
namespace {

constexpr std::size_t kItemsInRun = 256;

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

struct Source {
    std::string path;  // absolute
    struct stat st;
    std::string root;  // its stored name
};

// SIGINT and SIGTERM go to the thread that writes the archive.
void BlockSignals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
}

void ListSources(const std::vector<Source>& sources, const Selection& selection,
                 const std::set<FileId>& skipped, const MadeFiles& made, Reporter& reporter,
                 ItemStream& stream) {
    std::vector<SourceItem> run;
    bool taking = true;
    const TakeItem take = [&](SourceItem&& item) {
        run.push_back(std::move(item));
        if (run.size() == kItemsInRun) {
            taking = stream.Put(std::move(run));
            run.clear();
        }
        return taking;
    };
    for (const Source& source : sources) {
        if (taking) ListSource(source.path, source.st, source.root, selection, skipped, made, reporter, take);
    }
    if (taking && !run.empty()) stream.Put(std::move(run));
    stream.End();
}

// Writes what the stream brings; the archive is created with the first item. True when it is ready to be
// committed.
bool WriteArchive(const Options& options, VolumeOutput& output, Reporter& reporter, ItemStream& stream) {
    std::optional<ZipWriter> writer;
    for (std::vector<SourceItem> run = stream.Take(); !run.empty(); run = stream.Take()) {
        if (!writer) {
            writer.emplace(output, reporter);
            if (!writer->Open(options)) return false;
        }
        for (const SourceItem& item : run) {
            if (!writer->Add(item)) return false;
        }
    }
    if (Interrupted()) {
        reporter.Report(kUserBreak, "interrupted");
        return false;
    }
    if (!writer) {
        reporter.Report(kNoFiles, "no files to add");
        return false;
    }
    if (!writer->Close()) return false;
    return writer->stored() > 0;  // no source could be opened: no archive
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
    // The archive it replaces is not taken, nor what this run creates while the sources are listed.
    MadeFiles made;
    VolumeOutput output(options.archive, options.volumeBytes, made);
    AddIds(output.FilesToReplace(), skipped);
    std::vector<std::string> named{options.target};
    named.insert(named.end(), options.moreSources.begin(), options.moreSources.end());
    std::vector<Source> sources;
    for (const std::string& name : named) {
        Source source{AbsolutePath(name), {}, {}};
        if (stat(source.path.c_str(), &source.st) != 0) {
            reporter.Report(kNoFiles, SystemError("cannot find", name));
            return;
        }
        source.root = options.archivePath.empty()
                          ? StoredRoot(name, options.excludeBasePath)
                          : StoredRootUnder(options.archivePath, name, S_ISDIR(source.st.st_mode));
        sources.push_back(std::move(source));
    }

    // The sources are listed on a thread of their own while the archive is written.
    ItemStream stream;
    std::thread lister([&] {
        BlockSignals();
        ListSources(sources, selection, skipped, made, reporter, stream);
    });
    const bool written = WriteArchive(options, output, reporter, stream);
    stream.Stop();
    lister.join();
    if (!written) return;
    std::string error;
    const ExitCode committed = output.Commit(error);
    if (committed != kSuccess) reporter.Report(committed, error);
}

}  // namespace zov::rar
