#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/rar/DiskWriter.h"
#include "tools/rar/Reporter.h"

namespace zov::rar {

// Runs the disk side of an extraction on a thread of its own, so that files are written while the next ones
// are read and inflated. Steps run in the order given; a step that fails is reported, and the rest of that
// file is dropped (a file that did not come out whole is removed). A failed write (a full disk) ends the
// work: the steps after it are dropped, and failed() tells the reader to stop. Steps are handed over in
// batches, and at most a fixed number of bytes waits.
class DiskQueue {
  public:
    DiskQueue(DiskWriter& writer, Reporter& reporter);
    ~DiskQueue();  // runs the steps still waiting
    DiskQueue(const DiskQueue&) = delete;
    DiskQueue& operator=(const DiskQueue&) = delete;

    void MakeFolder(const std::string& path, const EntryMetadata& metadata);
    void MakeLink(const std::string& path, const std::string& target, const EntryMetadata& metadata);
    void CreateFile(const std::string& path);
    void Write(const void* data, std::size_t size, std::int64_t offset);
    void FinishFile(std::int64_t size, const EntryMetadata& metadata);
    void DiscardFile();

    // A write failed: nothing more is written.
    bool failed() const { return failed_; }

  private:
    enum class Kind { Folder, Link, Create, Write, Finish, Discard };
    struct Step {
        Kind kind;
        std::string path;  // Folder, Link, Create; the link's target in text
        std::string text;
        EntryMetadata metadata;
        std::vector<char> data;
        std::int64_t offset = 0;  // Write: where; Finish: the file's size
    };

    void Push(Step step);
    void Hand();
    void Serve();
    void Run(Step& step);

    DiskWriter& writer_;
    Reporter& reporter_;
    std::vector<Step> batch_;  // steps gathered before they are handed over in one go
    std::size_t batchBytes_ = 0;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable room_;
    std::deque<std::pair<std::vector<Step>, std::size_t>> batches_;  // with their bytes
    std::size_t waitingBytes_ = 0;
    std::vector<std::vector<char>> spareBuffers_;  // of the writes done, for the next ones
    bool stopping_ = false;
    bool fileOpen_ = false;  // the thread's own: a file is being written
    std::atomic<bool> failed_{false};
    std::thread thread_;  // last: it starts once everything it uses is there
};

}  // namespace zov::rar
