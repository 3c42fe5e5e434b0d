#include "tools/rar/ZipWriter.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"

namespace zov::rar {
namespace {

constexpr std::size_t kMaxOpenFiles = 512;       // held by the jobs in flight
constexpr rlim_t kSpareFiles = 64;               // for everything else the process opens
constexpr std::size_t kDirectWrite = 64 * 1024;  // larger data skips the buffer
constexpr std::size_t kBatchParts = 256;         // small entries in one job at most
constexpr std::uint16_t kDeflate = 8;
constexpr std::uint64_t kAe2Below = 20;  // WinZip's advice: tiny entries keep no CRC next to the cipher

bool ReadLink(const std::string& path, std::string& target) {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) == buffer.size()) return false;
    target.assign(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

// How many files the jobs in flight may hold open: half of what the process may open, up to kMaxOpenFiles.
// The soft limit is raised to the hard one first, so that a low limit does not make files unreadable.
std::size_t OpenFilesBudget() {
    struct rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) return 16;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
        getrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur == RLIM_INFINITY) return kMaxOpenFiles;
    const rlim_t usable = files.rlim_cur > 2 * kSpareFiles ? (files.rlim_cur - kSpareFiles) / 2 : 1;
    return static_cast<std::size_t>(std::min<rlim_t>(usable, kMaxOpenFiles));
}

std::uint32_t Crc(const std::string& text) {
    return static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<z_size_t>(text.size())));
}

}  // namespace

bool ZipWriter::Open(const Options& options) {
    const std::size_t threads = options.threads > 0 ? static_cast<std::size_t>(options.threads) : CoreCount();
    if (options.password) {
        password_ = std::make_unique<PasswordKey>(*options.password);
    }
    capacity_ = JobsInFlight(threads);
    openFilesBudget_ = OpenFilesBudget();
    batchParts_ = std::clamp<std::size_t>(openFilesBudget_ / capacity_, 1, 64);
    for (std::size_t i = 0; i < threads; ++i)
        compressors_.push_back(std::make_unique<BlockCompressor>(options.level, password_.get()));
    queue_ = std::make_unique<WorkQueue<Job>>(
        threads, [this](Job& job, std::size_t thread) { compressors_[thread]->Run(job); },
        [this](std::size_t thread) { compressors_[thread]->SealHandedIn(); });
    batch_ = NewJob();
    std::string error;
    const ExitCode opened = output_.Open(error);
    if (opened != kSuccess) {
        reporter_.Report(opened, error);
        return false;
    }
    return true;
}

bool ZipWriter::Add(const SourceItem& item) {
    if (Interrupted()) return Fail("interrupted");
    PendingEntry entry;
    entry.diskPath = item.diskPath;
    entry.zip.name = item.storedName;
    entry.zip.st = item.st;
    if (S_ISREG(item.st.st_mode) && static_cast<std::uint64_t>(item.st.st_size) <= kBlockBytes) {
        // A small file is opened by the thread that reads it; its entry is dropped there when it cannot be.
        entry.zip.method = kDeflate;
        entries_.push_back(std::move(entry));
        Part part;
        part.path = item.diskPath;
        part.length = static_cast<std::size_t>(item.st.st_size);
        part.encrypt = password_ != nullptr;
        return AddToBatch(std::move(part));
    }
    if (S_ISREG(item.st.st_mode)) return AddFile(std::move(entry));
    if (S_ISLNK(item.st.st_mode) && !ReadLink(item.diskPath, entry.zip.link)) {
        reporter_.Report(kOpenError, SystemError("cannot read link", item.diskPath));
        return true;
    }
    if (S_ISDIR(item.st.st_mode)) entry.zip.name += '/';
    entries_.push_back(std::move(entry));
    return AddToBatch(Part{});
}

// A large file is opened here, in order, so that its size decides how it is cut; the threads read it.
bool ZipWriter::AddFile(PendingEntry entry) {
    const int fd = OpenSourceFile(entry.diskPath);
    struct stat st {};
    const bool opened = fd >= 0 && fstat(fd, &st) == 0;
    if (!opened || !S_ISREG(st.st_mode)) {
        if (opened) errno = EINVAL;  // replaced by something that is not a file since the walk
        reporter_.Report(kOpenError, SystemError("cannot open", entry.diskPath));
        if (fd >= 0) close(fd);
        return true;
    }
    auto file = std::make_shared<SourceFile>(fd);
    entry.zip.st = st;
    entry.zip.method = kDeflate;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size <= kBlockBytes) {
        entries_.push_back(std::move(entry));
        Part part;
        part.file = std::move(file);
        part.length = static_cast<std::size_t>(size);
        part.encrypt = password_ != nullptr;
        return AddToBatch(std::move(part));
    }
    entry.blocks = true;
    entry.zip.descriptor = true;
    entry.zip.zip64Descriptor = size >= kZip64Threshold;
    if (password_ != nullptr) entry.chain = std::make_shared<AesChain>(AesChain::Direction::Encrypt);
    const std::shared_ptr<AesChain> chain = entry.chain;
    entries_.push_back(std::move(entry));
    if (!SubmitBatch()) return false;
    for (std::uint64_t offset = 0; offset < size; offset += kBlockBytes) {
        std::unique_ptr<Job> job = NewJob();
        Part part;
        part.file = file;
        part.offset = static_cast<off_t>(offset);
        part.length = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, size - offset));
        part.last = offset + part.length == size;
        part.skipHoles = true;
        part.chain = chain;
        part.chainIndex = static_cast<std::size_t>(offset / kBlockBytes);
        job->inputBytes = part.length;
        job->openFiles = 1;
        job->parts.push_back(std::move(part));
        if (!Submit(std::move(job))) return false;
    }
    return true;
}

bool ZipWriter::AddToBatch(Part part) {
    batch_->inputBytes += part.length;
    if (part.file != nullptr) ++batch_->openFiles;
    batch_->parts.push_back(std::move(part));
    if (batch_->inputBytes < kBlockBytes && batch_->openFiles < batchParts_ &&
        batch_->parts.size() < kBatchParts)
        return true;
    return SubmitBatch();
}

bool ZipWriter::SubmitBatch() {
    if (batch_->parts.empty()) return true;
    std::unique_ptr<Job> job = std::move(batch_);
    batch_ = NewJob();
    return Submit(std::move(job));
}

bool ZipWriter::Submit(std::unique_ptr<Job> job) {
    if (!MakeRoom(*job)) return false;
    openFiles_ += job->openFiles;
    queue_->Submit(*job);
    inFlight_.push_back(std::move(job));
    return true;
}

// Frees places until the new job fits.
bool ZipWriter::MakeRoom(const Job& job) {
    const auto full = [&] {
        return inFlight_.size() + pool_.parked() >= capacity_ ||
               (!inFlight_.empty() && openFiles_ + job.openFiles > openFilesBudget_);
    };
    while (full()) {
        if (!pool_.FreeOne(!inFlight_.empty(), [this] { return RetireOldest(); })) return false;
    }
    return true;
}

// Waits for the oldest job and writes its parts.
bool ZipWriter::RetireOldest() {
    std::unique_ptr<Job> job = std::move(inFlight_.front());
    inFlight_.pop_front();
    queue_->Wait(*job);
    openFiles_ -= job->openFiles;
    bool stored = !Interrupted() || Fail("interrupted");
    for (Part& part : job->parts) {
        if (!stored) break;
        stored = Store(part, *job);
    }
    // A block job has one part; its chain may still read it, whatever became of the archive.
    std::shared_ptr<AesChain> chain = job->parts.front().chain;
    const std::size_t index = job->parts.front().chainIndex;
    pool_.PutAway(std::move(job), std::move(chain), index);
    return stored;
}

bool ZipWriter::Store(Part& part, Job& job) {
    PendingEntry& entry = entries_.front();
    char* data = job.out.data() + part.begin;
    const std::size_t length = part.end - part.begin;
    if (part.openError != 0) {
        errno = part.openError;
        reporter_.Report(kOpenError, SystemError("cannot open", entry.diskPath));
        entries_.pop_front();
        return true;
    }
    if (part.keysFailed) return Fail("cannot make the keys for " + entry.diskPath);
    if (!part.path.empty()) entry.zip.st = part.st;
    if (part.chain != nullptr && !entry.ended && !part.chain->WaitReady(part.chainIndex))
        return Fail("cannot encrypt " + entry.diskPath);
    const bool stored =
        entry.blocks ? StoreBlock(entry, part, data, length) : StoreWhole(entry, part, data, length);
    if (part.last) entries_.pop_front();
    return stored;
}

bool ZipWriter::StoreWhole(PendingEntry& entry, Part& part, const char* data, std::size_t length) {
    ZipEntry& zip = entry.zip;
    if (S_ISLNK(zip.st.st_mode)) {
        zip.crc = Crc(zip.link);
        data = zip.link.data();
        length = zip.link.size();
        zip.size = length;
    } else if (S_ISREG(zip.st.st_mode)) {
        zip.size = part.read;
        zip.crc = part.crc;
        if (password_ != nullptr) {
            zip.aesVersion = zip.size < kAe2Below ? 2 : 1;
            if (zip.aesVersion == 2) zip.crc = 0;
        }
    }
    zip.storedSize = length;
    zip.offset = Position();
    AppendLocalHeader(zip, buffer_);
    if (!Append(data, length)) return false;
    if (part.readError != 0) {
        errno = part.readError;
        reporter_.Report(kFatalError, SystemError("read error in", entry.diskPath));
    }
    EndEntry(entry);
    return true;
}

// A block of a large entry: the first one starts the entry, the last one (or a failed read) ends it.
bool ZipWriter::StoreBlock(PendingEntry& entry, Part& part, char* data, std::size_t length) {
    if (entry.ended) return true;
    ZipEntry& zip = entry.zip;
    if (!entry.started) {
        entry.started = true;
        zip.offset = Position();
        if (password_ != nullptr) zip.aesVersion = 1;
        AppendLocalHeader(zip, buffer_);
        entry.dataStart = Position();
        if (entry.chain != nullptr) entry.chain->keys().AppendHeader(buffer_);
    }
    if (!Append(data, length)) return false;
    zip.crc = static_cast<std::uint32_t>(crc32_combine(zip.crc, part.crc, static_cast<z_off_t>(part.read)));
    zip.size += part.read;
    if (part.readError == 0 && !part.last) return true;
    if (part.readError != 0) {
        errno = part.readError;
        reporter_.Report(kFatalError, SystemError("read error in", entry.diskPath));
    }
    if (entry.chain != nullptr) {
        unsigned char code[HmacSha1::kBytes];
        entry.chain->Finish(code);
        buffer_.insert(buffer_.end(), code, code + WinZipAes::kTrailerBytes);
    }
    zip.storedSize = Position() - entry.dataStart;
    AppendDescriptor(zip, buffer_);
    EndEntry(entry);
    return true;
}

void ZipWriter::EndEntry(PendingEntry& entry) {
    entry.ended = true;
    AppendCentralHeader(entry.zip, directory_);
    ++entryCount_;
    ++stored_;
}

bool ZipWriter::Append(const char* data, std::size_t length) {
    if (length < kDirectWrite) {
        buffer_.insert(buffer_.end(), data, data + length);
        return buffer_.size() < kBlockBytes || Flush();
    }
    if (!Flush()) return false;
    std::string error;
    const ExitCode code = output_.Write(data, length, error);
    if (code != kSuccess) {
        failed_ = true;
        reporter_.Report(code, error);
        return false;
    }
    flushed_ += length;
    return true;
}

bool ZipWriter::Flush() {
    if (buffer_.empty()) return true;
    std::string error;
    const ExitCode code = output_.Write(buffer_.data(), buffer_.size(), error);
    if (code != kSuccess) {
        failed_ = true;
        reporter_.Report(code, error);
        return false;
    }
    flushed_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool ZipWriter::Close() {
    if (failed_ || !SubmitBatch()) return false;
    while (!inFlight_.empty()) {
        if (!RetireOldest()) return false;
    }
    const std::uint64_t directoryOffset = Position();
    if (!Append(directory_.data(), directory_.size())) return false;
    AppendEndRecords(entryCount_, directoryOffset, directory_.size(), buffer_);
    return Flush();
}

std::unique_ptr<Job> ZipWriter::NewJob() {
    std::unique_ptr<Job> job = pool_.Take();
    job->parts.clear();
    job->inputBytes = 0;
    job->openFiles = 0;
    return job;
}

// Reports why the archive cannot go on: the signal when one came.
bool ZipWriter::Fail(const std::string& what) {
    failed_ = true;
    reporter_.Report(Interrupted() ? kUserBreak : kFatalError, Interrupted() ? "interrupted" : what);
    return false;
}

}  // namespace zov::rar
