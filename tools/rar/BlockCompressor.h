#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/rar/AesChain.h"
#include "tools/rar/BlockDeflater.h"
#include "tools/rar/WinZipAes.h"

namespace zov::rar {

// Data is read and compressed in blocks of this size; a file up to it is one block.
inline constexpr std::size_t kBlockBytes = 1 << 20;

// An open source file, shared by the blocks read from it and closed when the last of them is done.
class SourceFile {
  public:
    explicit SourceFile(int fd) : fd_(fd) {}
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// One piece of one entry's data: a whole small file, one block of a large one, or nothing to read (folders
// and links, which keep their place in the order).
struct Part {
    std::shared_ptr<SourceFile> file;
    std::string path;  // or a small file the thread opens itself; length is then its size
                       // as listed, and the size found on opening (up to a block) is read
    off_t offset = 0;
    std::size_t length = 0;           // bytes to read
    bool last = true;                 // ends the entry's deflate stream
    bool encrypt = false;             // the whole entry is this part: encrypt and authenticate it here
    bool skipHoles = false;           // look for a hole before reading
    std::shared_ptr<AesChain> chain;  // a block of a large encrypted entry: handed in when compressed
    std::size_t chainIndex = 0;       // the first block also makes the entry's keys

    // Filled in by the compressing thread.
    std::size_t begin = 0;  // the part's stored bytes: Job::out[begin, end)
    std::size_t end = 0;
    std::uint64_t read = 0;   // bytes read (fewer than length when the file shrank or a read failed)
    std::uint32_t crc = 0;    // of the bytes read
    int readError = 0;        // errno of a failed read
    int openError = 0;        // errno when path could not be opened as a file: the entry is left out
    struct stat st {};        // of the file opened from path
    bool keysFailed = false;  // no salt could be made
};

// The unit handed to a compressing thread: a run of small entries, or one block of a large one.
struct Job {
    std::vector<Part> parts;
    std::vector<char> out;
    std::size_t inputBytes = 0;
    std::size_t openFiles = 0;
    bool done = false;
};

// What one compressing thread keeps between jobs: its deflate stream, its ciphers, the keys of a job's
// entries and its read buffer.
class BlockCompressor {
  public:
    // password: null for none; it must outlive the compressor.
    BlockCompressor(int level, const PasswordKey* password);

    void Run(Job& job);
    // After the job: the blocks this thread handed in are taken into their entry's authentication code.
    void SealHandedIn();

  private:
    void MakeKeys(Job& job);
    static bool Open(Part& part);
    void Compress(Part& part, const AesKeys* keys, std::vector<char>& out);
    void Read(Part& part);

    BlockDeflater deflater_;
    const PasswordKey* password_;
    WinZipAes aes_;
    AesCounterMode chainCipher_;
    KeyBatch keys_;
    std::shared_ptr<AesChain> toSeal_;  // a block job has one part, so one chain
    std::vector<char> input_;
};

}  // namespace zov::rar
