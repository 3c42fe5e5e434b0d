#include "tools/rar/ExtractCommand.h"

#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <memory>
#include <string>

#include "tools/rar/DiskQueue.h"
#include "tools/rar/DiskWriter.h"
#include "tools/rar/EntryDecoder.h"
#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"
#include "tools/rar/JobPool.h"
#include "tools/rar/Selection.h"
#include "tools/rar/VolumeInput.h"
#include "tools/rar/VolumeNames.h"
#include "tools/rar/WorkQueue.h"
#include "tools/rar/ZipDirectory.h"

namespace zov::rar {
namespace {

constexpr std::uint64_t kMebibyte = 1024 * 1024;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kBatchEntries = 64;
constexpr std::size_t kWindowBytes = 4 << 20;  // small reads are served from a window of the stream

// Checks the volume sizes and the end of the stream; kSuccess when the directory was read.
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

EntryMetadata MetadataOf(const ZipListing& entry) {
    return {entry.mode, entry.uid, entry.gid, entry.atime.value_or(entry.mtime), entry.mtime};
}

// Whether the entry is decoded whole on one thread (a link always is: its target is never large).
bool IsSmall(const ZipListing& entry) {
    const std::size_t overhead = entry.encrypted ? WinZipAes::kHeaderBytes + WinZipAes::kTrailerBytes : 0;
    return entry.size <= kChunkBytes && entry.storedSize <= kChunkBytes + overhead;
}

// Reads the stream for one thread; short reads come from a window of it, as entries follow one another.
class StreamReader {
  public:
    explicit StreamReader(VolumeInput& input) : input_(input) {}

    bool Read(std::uint64_t offset, char* out, std::size_t length, std::string& error) {
        if (length == 0) return true;
        if (length >= kWindowBytes / 4) return ReadExactly(offset, out, length, error);
        if (offset < start_ || offset + length > start_ + window_.size()) {
            window_.resize(kWindowBytes);
            std::size_t got = 0;
            if (!input_.ReadAt(offset, window_.data(), window_.size(), got, error)) return false;
            window_.resize(got);
            start_ = offset;
            if (got < length) return Short(error);
        }
        std::memcpy(out, window_.data() + (offset - start_), length);
        return true;
    }

  private:
    bool ReadExactly(std::uint64_t offset, char* out, std::size_t length, std::string& error) {
        std::size_t got = 0;
        if (!input_.ReadAt(offset, out, length, got, error)) return false;
        return got == length || Short(error);
    }
    static bool Short(std::string& error) {
        error = "the archive is truncated";
        return false;
    }

    VolumeInput& input_;
    std::vector<char> window_;
    std::uint64_t start_ = 0;
};

// Reads and checks the entries of the archive in the order of its directory: the threads decipher,
// authenticate and inflate them (the chunks of a large entry are inflated here, in order), and what they
// give is written in that order by the disk queue.
class Extractor {
  public:
    Extractor(const Options& options, Reporter& reporter, VolumeInput& input, const ZipDirectory& directory)
        : options_(options), reporter_(reporter), reader_(input), directory_(directory) {}

    void Run(const Selection& selection) {
        std::vector<const ZipListing*> chosen;
        for (const ZipListing& entry : directory_.entries) {
            if (IsSelected(selection, entry.name, entry.type == EntryType::Folder)) chosen.push_back(&entry);
        }
        if (options_.password) password_ = std::make_unique<PasswordKey>(*options_.password);
        if (!PasswordFits(chosen)) return;
        if (options_.command == Command::Extract && !PrepareDestination()) return;

        const std::size_t threads =
            options_.threads > 0 ? static_cast<std::size_t>(options_.threads) : CoreCount();
        capacity_ = JobsInFlight(threads);
        for (std::size_t i = 0; i < threads; ++i)
            decoders_.push_back(std::make_unique<EntryDecoder>(password_.get()));
        work_ = std::make_unique<WorkQueue<DecodeJob>>(
            threads, [this](DecodeJob& job, std::size_t thread) { decoders_[thread]->Run(job); },
            [this](std::size_t thread) { decoders_[thread]->SealHandedIn(); });
        batch_ = NewJob();
        for (const ZipListing* entry : chosen) {
            if (Stopped() || !Add(*entry)) break;
        }
        if (!Stopped()) SubmitBatch();
        while (!inFlight_.empty() && !Stopped()) RetireOldest();
        work_.reset();
        // A large file cut short by a stop is not left behind.
        if (queue_ != nullptr) queue_->DiscardFile();
        queue_.reset();
        std::string error;
        if (disk_ != nullptr && !disk_->Close(error)) reporter_.Report(kWriteError, error);
        if (Interrupted()) {
            reporter_.Report(kUserBreak, "interrupted");
        } else if (chosen.empty()) {
            reporter_.Report(kNoFiles, "no files to extract");
        }
    }

  private:
    bool Stopped() const { return stop_ || Interrupted() || (queue_ != nullptr && queue_->failed()); }

    // The password is tried on the first encrypted entry before anything is written.
    bool PasswordFits(const std::vector<const ZipListing*>& chosen) {
        const auto first = std::find_if(chosen.begin(), chosen.end(), [](const ZipListing* entry) {
            return entry->encrypted && entry->supported && entry->type != EntryType::Folder;
        });
        if (first == chosen.end()) return true;
        std::uint64_t data = 0;
        std::vector<char> header(WinZipAes::kHeaderBytes);
        if (!Locate(**first, data) || (*first)->storedSize < header.size() ||
            !reader_.Read(data, header.data(), header.size(), error_)) {
            return true;  // reported with the entry itself
        }
        WinZipAes check;
        if (password_ != nullptr && check.Open(*password_, header.data())) return true;
        RefusePassword(**first);
        return false;
    }

    // A password that does not fit, or none given, ends the run.
    void RefusePassword(const ZipListing& entry) {
        reporter_.Report(
            kBadPassword,
            (password_ != nullptr ? "wrong password for " : "password needed for ") + entry.name);
        stop_ = true;
    }

    // The working folder becomes the destination, for the look-ups of names already there.
    bool PrepareDestination() {
        std::string error;
        disk_ = std::make_unique<DiskWriter>(options_.overwrite, geteuid() == 0);
        if (!disk_->Open(AbsolutePath(options_.target), error)) {
            reporter_.Report(kCreateError, error);
            return false;
        }
        if (fchdir(disk_->folder()) != 0) {
            reporter_.Report(kCreateError, SystemError("cannot enter folder", options_.target));
            return false;
        }
        queue_ = std::make_unique<DiskQueue>(*disk_, reporter_);
        return true;
    }

    // Where the entry's stored data starts, from its local header; false (reported) when it does not fit.
    bool Locate(const ZipListing& entry, std::uint64_t& data) {
        char header[kLocalHeaderSize];
        const std::uint64_t end = directory_.directoryOffset;
        bool fits = entry.localOffset + kLocalHeaderSize <= end &&
                    reader_.Read(entry.localOffset, header, sizeof header, error_) &&
                    std::memcmp(header, "PK\3\4", 4) == 0;
        if (fits) {
            const auto names = static_cast<std::uint64_t>(static_cast<unsigned char>(header[26]) |
                                                          static_cast<unsigned char>(header[27]) << 8);
            const auto extras = static_cast<std::uint64_t>(static_cast<unsigned char>(header[28]) |
                                                           static_cast<unsigned char>(header[29]) << 8);
            data = entry.localOffset + kLocalHeaderSize + names + extras;
            fits = data <= end && entry.storedSize <= end - data;
        }
        if (!fits) reporter_.Report(kDataError, "damaged entry: " + entry.name);
        return fits;
    }

    bool Add(const ZipListing& entry) {
        if (options_.command == Command::Extract && !options_.overwrite && entry.type != EntryType::Folder) {
            struct stat existing {};
            if (lstat(entry.name.c_str(), &existing) == 0) return true;
        }
        if (entry.type == EntryType::Folder) return AddWhole(entry, 0);
        if (!entry.supported) {
            reporter_.Report(kDataError, "unsupported method or encryption: " + entry.name);
            return true;
        }
        std::uint64_t data = 0;
        if (!Locate(entry, data)) return true;
        if (IsSmall(entry)) return AddWhole(entry, data);
        if (entry.type == EntryType::Link) {
            reporter_.Report(kDataError, "damaged entry: " + entry.name);
            return true;
        }
        if (!SubmitBatch()) return false;
        return entry.encrypted ? AddEncryptedChunks(entry, data)
                               : AddChunks(entry, data, entry.storedSize, {});
    }

    bool AddWhole(const ZipListing& entry, std::uint64_t data) {
        DecodePart part;
        part.entry = &entry;
        const auto length = entry.type == EntryType::Folder ? 0 : static_cast<std::size_t>(entry.storedSize);
        part.inBegin = batch_->input.size();
        batch_->input.resize(part.inBegin + length);
        if (!reader_.Read(data, batch_->input.data() + part.inBegin, length, error_)) {
            batch_->input.resize(part.inBegin);
            reporter_.Report(kDataError, error_ + ": " + entry.name);
            return true;
        }
        part.inEnd = batch_->input.size();
        batch_->outBound += entry.size;
        batch_->parts.push_back(std::move(part));
        if (batch_->parts.size() < kBatchEntries && batch_->input.size() < kChunkBytes &&
            batch_->outBound < kChunkBytes) {
            return true;
        }
        return SubmitBatch();
    }

    // The first chunk of a large entry makes its keys on a thread, from the header read here; its chunks are
    // deciphered there and authenticated in order.
    bool AddEncryptedChunks(const ZipListing& entry, std::uint64_t data) {
        constexpr std::size_t kAround = WinZipAes::kHeaderBytes + WinZipAes::kTrailerBytes;
        std::array<char, WinZipAes::kHeaderBytes> header{};
        std::vector<char> trailer(WinZipAes::kTrailerBytes);
        if (entry.storedSize < kAround || !reader_.Read(data, header.data(), header.size(), error_) ||
            !reader_.Read(data + entry.storedSize - trailer.size(), trailer.data(), trailer.size(), error_)) {
            reporter_.Report(kDataError, "damaged entry: " + entry.name);
            return true;
        }
        return AddChunks(entry, data + WinZipAes::kHeaderBytes, entry.storedSize - kAround,
                         std::make_shared<AesChain>(AesChain::Direction::Decrypt), header,
                         std::move(trailer));
    }

    bool AddChunks(const ZipListing& entry, std::uint64_t data, std::uint64_t length,
                   const std::shared_ptr<AesChain>& chain,
                   const std::array<char, WinZipAes::kHeaderBytes>& header = {},
                   std::vector<char> trailer = {}) {
        std::size_t index = 0;
        for (std::uint64_t offset = 0; offset < length || index == 0; offset += kChunkBytes, ++index) {
            if (Stopped()) return false;
            std::unique_ptr<DecodeJob> job = NewJob();
            DecodePart part;
            part.entry = &entry;
            part.chunk = true;
            part.chain = chain;
            part.chunkIndex = index;
            part.chunkOffset = offset;
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, length - offset));
            part.lastChunk = offset + size == length;
            if (index == 0) part.header = header;
            if (part.lastChunk) part.trailer = std::move(trailer);
            job->input.resize(size);
            if (!reader_.Read(data + offset, job->input.data(), size, error_)) {
                // The chunks already handed out end the entry as damaged.
                job->input.clear();
                part.lastChunk = true;
                part.result = Decoded::Damaged;
            }
            part.inEnd = job->input.size();
            const bool last = part.lastChunk;
            job->parts.push_back(std::move(part));
            if (!Submit(std::move(job))) return false;
            if (last) break;
        }
        return true;
    }

    bool SubmitBatch() {
        if (batch_->parts.empty()) return true;
        std::unique_ptr<DecodeJob> job = std::move(batch_);
        batch_ = NewJob();
        return Submit(std::move(job));
    }

    bool Submit(std::unique_ptr<DecodeJob> job) {
        while (inFlight_.size() + pool_.parked() >= capacity_) {
            if (!pool_.FreeOne(!inFlight_.empty(), [this] { return RetireOldest(); })) return false;
        }
        work_->Submit(*job);
        inFlight_.push_back(std::move(job));
        return true;
    }

    bool RetireOldest() {
        std::unique_ptr<DecodeJob> job = std::move(inFlight_.front());
        inFlight_.pop_front();
        work_->Wait(*job);
        for (DecodePart& part : job->parts) {
            if (Stopped()) break;
            if (part.chunk) {
                RetireChunk(*job, part);
            } else {
                RetireWhole(*job, part);
            }
        }
        // A chunk job has one part; its chain may still read it, whatever became of the extraction.
        std::shared_ptr<AesChain> chain = job->parts.front().chain;
        const std::size_t index = job->parts.front().chunkIndex;
        pool_.PutAway(std::move(job), std::move(chain), index);
        return !Stopped();
    }

    void RetireWhole(DecodeJob& job, const DecodePart& part) {
        const ZipListing& entry = *part.entry;
        if (part.result == Decoded::BadPassword) {
            RefusePassword(entry);
            return;
        }
        if (part.result == Decoded::Damaged) {
            reporter_.Report(kDataError, "damaged data in " + entry.name);
            return;
        }
        if (queue_ == nullptr) return;
        const char* data = job.out.data() + part.outBegin;
        const std::size_t length = part.outEnd - part.outBegin;
        switch (entry.type) {
            case EntryType::Folder:
                queue_->MakeFolder(entry.name, MetadataOf(entry));
                return;
            case EntryType::Link:
                queue_->MakeLink(entry.name, std::string(data, length), MetadataOf(entry));
                return;
            case EntryType::File:
                queue_->CreateFile(entry.name);
                if (length > 0) queue_->Write(data, length, 0);
                queue_->FinishFile(static_cast<std::int64_t>(length), MetadataOf(entry));
                return;
        }
    }

    // The chunks of a large entry come here in order: they are inflated and written, and the last one ends
    // the entry when everything about it holds.
    void RetireChunk(DecodeJob& job, DecodePart& part) {
        const ZipListing& entry = *part.entry;
        if (part.result == Decoded::BadPassword) {
            RefusePassword(entry);
            return;
        }
        if (part.chain != nullptr && !part.chain->WaitReady(part.chunkIndex)) part.result = Decoded::Damaged;
        if (part.chunkIndex == 0) {
            inflater_.Start(entry);
            chunkFailed_ = false;
            if (queue_ != nullptr) queue_->CreateFile(entry.name);
        }
        if (!chunkFailed_ && part.result == Decoded::Ok) {
            const auto sink = [this](const char* data, std::size_t length, std::uint64_t offset) {
                if (queue_ != nullptr) queue_->Write(data, length, static_cast<std::int64_t>(offset));
                return !Stopped();
            };
            // An encrypted chunk was deciphered into the job's output; a plain one is its input.
            const bool deciphered = part.chain != nullptr;
            const char* data = deciphered ? job.out.data() + part.outBegin : job.input.data() + part.inBegin;
            const std::size_t length = deciphered ? part.outEnd - part.outBegin : part.inEnd - part.inBegin;
            chunkFailed_ = !inflater_.Feed(data, length, sink);
        } else {
            chunkFailed_ = true;
        }
        if (!part.lastChunk || Stopped()) return;
        bool authentic = part.chain == nullptr;
        if (!authentic) {
            unsigned char code[HmacSha1::kBytes];
            part.chain->Finish(code);
            authentic = CRYPTO_memcmp(code, part.trailer.data(), WinZipAes::kTrailerBytes) == 0;
        }
        if (!chunkFailed_ && authentic && inflater_.Complete()) {
            if (queue_ != nullptr)
                queue_->FinishFile(static_cast<std::int64_t>(inflater_.size()), MetadataOf(entry));
            return;
        }
        // A file that did not come out whole is not left behind.
        if (queue_ != nullptr) queue_->DiscardFile();
        reporter_.Report(kDataError, "damaged data in " + entry.name);
    }

    std::unique_ptr<DecodeJob> NewJob() {
        std::unique_ptr<DecodeJob> job = pool_.Take();
        job->parts.clear();
        job->input.clear();
        job->outBound = 0;
        return job;
    }

    const Options& options_;
    Reporter& reporter_;
    StreamReader reader_;
    const ZipDirectory& directory_;
    std::string error_;
    std::unique_ptr<PasswordKey> password_;
    std::unique_ptr<DiskWriter> disk_;
    std::unique_ptr<DiskQueue> queue_;  // writes through disk_ on its own thread
    std::size_t capacity_ = 0;          // jobs in flight
    std::deque<std::unique_ptr<DecodeJob>> inFlight_;
    JobPool<DecodeJob> pool_;
    std::unique_ptr<DecodeJob> batch_;
    StreamInflater inflater_;  // the large entry being retired
    bool chunkFailed_ = false;
    bool stop_ = false;  // a wrong password ends the run
    std::vector<std::unique_ptr<EntryDecoder>> decoders_;
    std::unique_ptr<WorkQueue<DecodeJob>> work_;  // last: its threads stop before anything they use goes
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
    Extractor(options, reporter, input, directory).Run(selection);
}

}  // namespace zov::rar
