#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tools/rar/AesChain.h"
#include "tools/rar/BlockCompressor.h"
#include "tools/rar/CommandLine.h"
#include "tools/rar/ExitCode.h"
#include "tools/rar/JobPool.h"
#include "tools/rar/Reporter.h"
#include "tools/rar/SourceTree.h"
#include "tools/rar/VolumeOutput.h"
#include "tools/rar/WinZipAes.h"
#include "tools/rar/WorkQueue.h"
#include "tools/rar/ZipRecords.h"

namespace zov::rar {

// Writes a ZIP stream (deflate, WinZip AES-256 with a password) into a VolumeOutput, compressing on several
// threads. Small entries go to the threads in runs, a large file block by block; the results are written in
// the order the entries were added. A fixed number of jobs is in flight, whatever the file sizes.
class ZipWriter {
  public:
    ZipWriter(VolumeOutput& output, Reporter& reporter) : output_(output), reporter_(reporter) {}
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Each step reports its own failure; false means the archive cannot go on.
    bool Open(const Options& options);
    // Adds one item; a source that cannot be read is reported and left out.
    bool Add(const SourceItem& item);
    bool Close();

    // Entries written so far.
    int stored() const { return stored_; }

  private:
    struct PendingEntry {
        ZipEntry zip;
        std::string diskPath;
        bool blocks = false;   // a large file, written block by block with a data descriptor
        bool started = false;  // its local header is written
        bool ended = false;    // its data ended early: the blocks still to come are dropped
        std::uint64_t dataStart = 0;
        std::shared_ptr<AesChain> chain;  // a large encrypted entry's keys and authentication code
    };

    bool AddFile(PendingEntry entry);
    bool AddToBatch(Part part);
    bool SubmitBatch();
    bool Submit(std::unique_ptr<Job> job);
    bool MakeRoom(const Job& job);
    bool RetireOldest();
    bool Store(Part& part, Job& job);
    bool StoreWhole(PendingEntry& entry, Part& part, const char* data, std::size_t length);
    bool StoreBlock(PendingEntry& entry, Part& part, char* data, std::size_t length);
    void EndEntry(PendingEntry& entry);
    bool Append(const char* data, std::size_t length);
    bool Flush();
    bool Fail(const std::string& what);
    std::unique_ptr<Job> NewJob();
    std::uint64_t Position() const { return flushed_ + buffer_.size(); }

    VolumeOutput& output_;
    Reporter& reporter_;
    std::unique_ptr<PasswordKey> password_;  // the password's keyed states, shared by the threads
    std::size_t capacity_ = 0;               // jobs in flight
    std::size_t openFilesBudget_ = 0;        // open files the jobs in flight may hold
    std::size_t batchParts_ = 0;             // open files in one job: all jobs in flight can hold them
    std::deque<PendingEntry> entries_;
    std::vector<char> buffer_;     // stream bytes not yet handed to the output
    std::vector<char> directory_;  // the central directory so far
    std::uint64_t flushed_ = 0;    // bytes handed to the output
    std::uint64_t entryCount_ = 0;
    std::size_t openFiles_ = 0;  // held by the jobs in flight
    std::deque<std::unique_ptr<Job>> inFlight_;
    JobPool<Job> pool_;
    std::unique_ptr<Job> batch_;
    bool failed_ = false;
    int stored_ = 0;
    std::vector<std::unique_ptr<BlockCompressor>> compressors_;
    std::unique_ptr<WorkQueue<Job>> queue_;  // last: its threads stop before anything they use goes
};

}  // namespace zov::rar
