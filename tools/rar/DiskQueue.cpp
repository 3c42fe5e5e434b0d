#include "tools/rar/DiskQueue.h"

#include <pthread.h>
#include <signal.h>

#include <utility>

namespace zov::rar {
namespace {

constexpr std::size_t kMaxWaitingBytes = 16 << 20;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr std::size_t kBatchSteps = 128;
constexpr std::size_t kStepBytes = 256;    // what a step without data is counted as
constexpr std::size_t kSpareBuffers = 32;  // write buffers kept for reuse

// The thread blocks SIGINT and SIGTERM, so that they reach the thread that reads the archive.
std::thread StartWithoutSignals(DiskQueue* queue, void (DiskQueue::*serve)()) {
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    std::thread thread(serve, queue);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

}  // namespace

DiskQueue::DiskQueue(DiskWriter& writer, Reporter& reporter)
    : writer_(writer), reporter_(reporter), thread_(StartWithoutSignals(this, &DiskQueue::Serve)) {}

DiskQueue::~DiskQueue() {
    Hand();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_one();
    thread_.join();
}

void DiskQueue::MakeFolder(const std::string& path, const EntryMetadata& metadata) {
    Push({Kind::Folder, path, {}, metadata, {}, 0});
}

void DiskQueue::MakeLink(const std::string& path, const std::string& target, const EntryMetadata& metadata) {
    Push({Kind::Link, path, target, metadata, {}, 0});
}

void DiskQueue::CreateFile(const std::string& path) { Push({Kind::Create, path, {}, {}, {}, 0}); }

// The bytes are copied into a buffer that an earlier write left behind: a fresh buffer of a mebibyte costs
// the kernel a mapping, its page faults and an unmapping, each time.
void DiskQueue::Write(const void* data, std::size_t size, std::int64_t offset) {
    const char* bytes = static_cast<const char*>(data);
    std::vector<char> buffer;
    {
        std::lock_guard lock(mutex_);
        if (!spareBuffers_.empty()) {
            buffer = std::move(spareBuffers_.back());
            spareBuffers_.pop_back();
        }
    }
    buffer.assign(bytes, bytes + size);
    Push({Kind::Write, {}, {}, {}, std::move(buffer), offset});
}

void DiskQueue::FinishFile(std::int64_t size, const EntryMetadata& metadata) {
    Push({Kind::Finish, {}, {}, metadata, {}, size});
}

void DiskQueue::DiscardFile() { Push({Kind::Discard, {}, {}, {}, {}, 0}); }

void DiskQueue::Push(Step step) {
    batchBytes_ += step.data.size() + kStepBytes;
    batch_.push_back(std::move(step));
    if (batch_.size() >= kBatchSteps || batchBytes_ >= kBatchBytes) Hand();
}

void DiskQueue::Hand() {
    if (batch_.empty()) return;
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock,
                   [this] { return batches_.empty() || waitingBytes_ + batchBytes_ <= kMaxWaitingBytes; });
        waitingBytes_ += batchBytes_;
        batches_.emplace_back(std::move(batch_), batchBytes_);
    }
    work_.notify_one();
    batch_.clear();
    batchBytes_ = 0;
}

void DiskQueue::Serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stopping_ || !batches_.empty(); });
        if (batches_.empty()) return;
        auto [steps, bytes] = std::move(batches_.front());
        batches_.pop_front();
        lock.unlock();
        for (Step& step : steps) Run(step);
        lock.lock();
        for (Step& step : steps) {
            if (step.kind == Kind::Write && spareBuffers_.size() < kSpareBuffers)
                spareBuffers_.push_back(std::move(step.data));
        }
        waitingBytes_ -= bytes;
        room_.notify_one();
    }
}

void DiskQueue::Run(Step& step) {
    std::string error;
    if (failed_ && step.kind != Kind::Discard) return;
    switch (step.kind) {
        case Kind::Folder:
            if (!writer_.MakeFolder(step.path, step.metadata, error)) reporter_.Report(kCreateError, error);
            return;
        case Kind::Link: {
            bool skipped = false;
            if (!writer_.MakeLink(step.path, step.text, step.metadata, skipped, error))
                reporter_.Report(kCreateError, error);
            return;
        }
        case Kind::Create: {
            bool skipped = false;
            fileOpen_ = writer_.CreateFile(step.path, skipped, error) && !skipped;
            if (!error.empty()) reporter_.Report(kCreateError, error);
            return;
        }
        case Kind::Write:
            if (fileOpen_ && !writer_.Write(step.data.data(), step.data.size(), step.offset, error)) {
                reporter_.Report(kWriteError, error);
                writer_.DiscardFile();
                fileOpen_ = false;
                failed_ = true;
            }
            return;
        case Kind::Finish:
            if (fileOpen_ && !writer_.FinishFile(step.offset, step.metadata, error)) {
                reporter_.Report(kWriteError, error);
                failed_ = true;
            }
            fileOpen_ = false;
            return;
        case Kind::Discard:
            if (fileOpen_) writer_.DiscardFile();
            fileOpen_ = false;
            return;
    }
}

}  // namespace zov::rar
