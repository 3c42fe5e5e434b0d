#include "tools/rar/ExtractCommand.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>

#include "tools/rar/DiskQueue.h"
#include "tools/rar/DiskWriter.h"
#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"
#include "tools/rar/Selection.h"
#include "tools/rar/VolumeInput.h"
#include "tools/rar/VolumeNames.h"
#include "tools/rar/ZipDirectory.h"

namespace zov::rar {
namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;

EntryMetadata MetadataOf(archive_entry* entry) {
    EntryMetadata metadata;
    metadata.mode = archive_entry_perm(entry);
    metadata.uid = static_cast<uid_t>(archive_entry_uid(entry));
    metadata.gid = static_cast<gid_t>(archive_entry_gid(entry));
    metadata.mtime = {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)};
    metadata.atime = archive_entry_atime_is_set(entry)
                         ? timespec{archive_entry_atime(entry), archive_entry_atime_nsec(entry)}
                         : metadata.mtime;
    return metadata;
}

const char* ErrorText(archive* a) {
    const char* text = archive_error_string(a);
    return text != nullptr ? text : "unknown error";
}

// Checks the volume sizes and the end of the stream; kSuccess when libarchive may read it.
ExitCode CheckStream(const VolumeSet& set, VolumeInput& input, ZipDirectory& directory, std::string& error) {
    const std::vector<Volume>& volumes = set.volumes;
    // Every volume but the last has the size of the first; the last is no larger.
    for (std::size_t i = 1; i < volumes.size(); ++i) {
        const bool last = i + 1 == volumes.size();
        if (last ? volumes[i].size > volumes[0].size : volumes[i].size != volumes[0].size) {
            error = "volume sizes do not match, one is truncated or damaged: " + volumes[i].path;
            return kDataError;
        }
    }
    directory = ReadZipDirectory(input);
    switch (directory.kind) {
        case StreamKind::Zip:
            return kSuccess;
        case StreamKind::NotArchive:
            error = "not an archive";
            return kFatalError;
        case StreamKind::Cut: {
            // Volumes are written full (a whole number of MiB), so a full last volume means more should
            // follow.
            const Volume& last = volumes.back();
            const bool full = volumes.size() > 1 ? last.size == volumes[0].size : last.size % kMebibyte == 0;
            if (set.split && full) {
                error = "the volume after " + last.path + " is missing";
                return kFatalError;
            }
            error = "the archive is truncated";
            return kDataError;
        }
        case StreamKind::Damaged:
            error = directory.error.empty() ? "the archive is damaged" : directory.error;
            return kDataError;
    }
    return kDataError;
}

// An entry is taken unless it or an enclosing folder is excluded; include masks on a folder take its tree.
// The top folder stands for the source the archive was made of: as when adding, the masks judge what lies
// below it, not the folder itself.
bool IsSelected(const Selection& selection, const std::string& path, bool folder) {
    std::size_t slash = path.find('/');
    if (slash == std::string::npos) {
        return folder ? selection.JudgeSourceFolder(path).take : selection.Judge(path, false).take;
    }
    bool insideTaken = false;
    for (slash = path.find('/', slash + 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const Selection::Verdict verdict = selection.Judge(path.substr(0, slash), insideTaken);
        if (verdict.excluded) return false;
        insideTaken = verdict.takeSubtree;
    }
    return selection.Judge(path, insideTaken).take;
}

class Extractor {
  public:
    Extractor(const Options& options, Reporter& reporter) : options_(options), reporter_(reporter) {}
    ~Extractor() {
        if (reader_ != nullptr) archive_read_free(reader_);
    }
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    void Run(VolumeInput& input, const ZipDirectory& directory, const Selection& selection) {
        reader_ = archive_read_new();
        archive_read_support_format_zip_seekable(reader_);
        if (options_.password) archive_read_add_passphrase(reader_, options_.password->c_str());
        if (input.OpenIn(reader_) != ARCHIVE_OK) {
            reporter_.Report(kDataError, std::string("cannot read the archive: ") + ErrorText(reader_));
            return;
        }
        if (options_.command == Command::Extract && !PrepareDestination()) return;

        int matched = 0;
        for (;;) {
            if (Interrupted()) break;
            archive_entry* entry = nullptr;
            const int header = archive_read_next_header(reader_, &entry);
            if (header == ARCHIVE_EOF) break;
            if (header == ARCHIVE_FATAL) {
                reporter_.Report(kDataError, std::string("the archive is damaged: ") + ErrorText(reader_));
                break;
            }
            if (header == ARCHIVE_FAILED) {
                reporter_.Report(kDataError, std::string("damaged entry: ") + ErrorText(reader_));
                continue;
            }
            std::string name = archive_entry_pathname(entry) != nullptr ? archive_entry_pathname(entry) : "";
            const auto original = directory.backslashNames.find(name);
            if (original != directory.backslashNames.end()) {
                name = original->second;
                archive_entry_copy_pathname(entry, name.c_str());
            }
            std::string path = name;
            while (path.size() > 1 && path.back() == '/') path.pop_back();
            if (!IsSelected(selection, path, archive_entry_filetype(entry) == AE_IFDIR)) continue;
            ++matched;
            const ExitCode code =
                options_.command == Command::Test ? TestEntry(entry, path) : ExtractEntry(entry, path);
            if (code == kBadPassword || code == kUserBreak) break;
        }
        queue_.reset();
        std::string error;
        if (disk_ != nullptr && !disk_->Close(error)) reporter_.Report(kWriteError, error);
        if (Interrupted()) {
            reporter_.Report(kUserBreak, "interrupted");
        } else if (matched == 0) {
            reporter_.Report(kNoFiles, "no files to extract");
        }
    }

  private:
    bool PrepareDestination() {
        std::string error;
        disk_ = std::make_unique<DiskWriter>(options_.overwrite, geteuid() == 0);
        if (!MakeFolders(options_.target) || chdir(options_.target.c_str()) != 0 ||
            !disk_->Open(".", error)) {
            reporter_.Report(kCreateError, SystemError("cannot create folder", options_.target));
            return false;
        }
        queue_ = std::make_unique<DiskQueue>(*disk_, reporter_);
        return true;
    }

    // Reports why reading the entry's data stopped.
    ExitCode ReadFailure(archive_entry* entry, const std::string& path) {
        if (Interrupted()) return kUserBreak;
        const std::string text = ErrorText(reader_);
        if (archive_entry_is_data_encrypted(entry) && text.find("assphrase") != std::string::npos) {
            reporter_.Report(kBadPassword,
                             (options_.password ? "wrong password for " : "password needed for ") + path);
            return kBadPassword;
        }
        reporter_.Report(kDataError, "damaged data in " + path + ": " + text);
        return kDataError;
    }

    ExitCode TestEntry(archive_entry* entry, const std::string& path) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int read = ARCHIVE_OK;
        while ((read = archive_read_data_block(reader_, &block, &size, &offset)) == ARCHIVE_OK) {
            if (Interrupted()) return kUserBreak;
        }
        return read == ARCHIVE_EOF ? kSuccess : ReadFailure(entry, path);
    }

    ExitCode ExtractEntry(archive_entry* entry, const std::string& path) {
        const bool folder = archive_entry_filetype(entry) == AE_IFDIR;
        struct stat existing {};
        if (!options_.overwrite && !folder && lstat(path.c_str(), &existing) == 0) return kSuccess;

        // The first block comes before the file is created, so a wrong password leaves nothing behind.
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int read = archive_read_data_block(reader_, &block, &size, &offset);
        if (read != ARCHIVE_OK && read != ARCHIVE_EOF) return ReadFailure(entry, path);

        if (folder) {
            queue_->MakeFolder(path, MetadataOf(entry));
            return kSuccess;
        }
        if (archive_entry_filetype(entry) == AE_IFLNK) {
            const char* target = archive_entry_symlink(entry);
            queue_->MakeLink(path, target != nullptr ? target : "", MetadataOf(entry));
            return kSuccess;
        }
        queue_->CreateFile(path);
        std::int64_t end = 0;
        while (read == ARCHIVE_OK) {
            end = std::max<std::int64_t>(end, offset + static_cast<std::int64_t>(size));
            queue_->Write(block, size, offset);
            read = archive_read_data_block(reader_, &block, &size, &offset);
        }
        if (read != ARCHIVE_EOF) {
            // A file that did not come out whole is not left behind.
            queue_->DiscardFile();
            return ReadFailure(entry, path);
        }
        queue_->FinishFile(end, MetadataOf(entry));
        return kSuccess;
    }

    const Options& options_;
    Reporter& reporter_;
    archive* reader_ = nullptr;
    std::unique_ptr<DiskWriter> disk_;
    std::unique_ptr<DiskQueue> queue_;  // writes through disk_ on its own thread
};

}  // namespace

void RunExtract(const Options& options, Reporter& reporter) {
    Selection selection(options.includeMasks, options.excludeMasks);
    std::string error;
    if (!selection.LoadLists(options.listFiles, error)) {
        reporter.Report(kFatalError, SystemError("cannot read list file", error));
        return;
    }
    VolumeSet set;
    if (!FindVolumes(AbsolutePath(options.archive), set, error)) {
        reporter.Report(kFatalError, error);
        return;
    }
    VolumeInput input(set.volumes);
    ZipDirectory directory;
    const ExitCode checked = CheckStream(set, input, directory, error);
    if (checked != kSuccess) {
        reporter.Report(checked, error);
        return;
    }
    Extractor(options, reporter).Run(input, directory, selection);
}

}  // namespace zov::rar
