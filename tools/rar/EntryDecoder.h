#pragma once

#include <isa-l/igzip_lib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "tools/rar/AesChain.h"
#include "tools/rar/Sha1Keys.h"
#include "tools/rar/WinZipAes.h"
#include "tools/rar/ZipDirectory.h"

namespace zov::rar {

// Entries up to this size (stored and extracted) are decoded whole on one thread; larger ones are read and
// handed out in chunks of this many stored bytes (a multiple of the cipher's block).
inline constexpr std::size_t kChunkBytes = 1 << 20;

enum class Decoded { Ok, BadPassword, Damaged };

// One entry's stored bytes, or one chunk of a large entry's.
struct DecodePart {
    const ZipListing* entry = nullptr;
    std::size_t inBegin = 0;  // the stored bytes in DecodeJob::input
    std::size_t inEnd = 0;
    std::shared_ptr<AesChain> chain;  // a chunk of a large encrypted entry: handed in; null otherwise
    std::uint64_t chunkOffset = 0;    // of the chunk in the entry's encrypted bytes
    bool chunk = false;               // a chunk of a large entry: deciphered into the output, inflated later
    std::size_t chunkIndex = 0;
    bool lastChunk = false;
    std::array<char, WinZipAes::kHeaderBytes> header{};  // the first chunk of an encrypted entry: its salt
                                                         // and password check, for its keys
    std::vector<char> trailer;  // the last chunk of an encrypted entry: its stored code

    // Filled in by the decoding thread (whole entries): the data in DecodeJob::out.
    std::size_t outBegin = 0;
    std::size_t outEnd = 0;
    Decoded result = Decoded::Ok;
};

// The unit handed to a decoding thread: a run of small entries, or one chunk of a large one.
struct DecodeJob {
    std::vector<DecodePart> parts;
    std::vector<char> input;
    std::vector<char> out;
    std::uint64_t outBound = 0;  // the sizes the parts' entries declare
    bool done = false;
};

// What one decoding thread keeps between jobs: its ciphers, the keys of a job's entries and its inflate
// state.
class EntryDecoder {
  public:
    // password: null for none; it must outlive the decoder.
    explicit EntryDecoder(const PasswordKey* password) : password_(password) {}

    void Run(DecodeJob& job);
    // After the job: the chunks this thread handed in are taken into their entry's authentication code.
    void SealHandedIn();

  private:
    bool NeedsKeys(const DecodePart& part) const;
    void MakeKeys(const DecodeJob& job);
    Decoded DecodeWhole(DecodePart& part, DecodeJob& job, const AesKeys* keys);
    void HandInChunk(DecodePart& part, DecodeJob& job, const AesKeys* keys);

    const PasswordKey* password_;
    WinZipAes aes_;
    AesCounterMode chunkCipher_;
    KeyBatch keys_;
    std::shared_ptr<AesChain> toSeal_;  // a chunk job has one part, so one chain
    inflate_state inflate_{};
};

// Inflates (or passes on, for stored entries) a large entry's data chunk after chunk, handing the output on
// in pieces of bounded size, and keeps its CRC and size.
class StreamInflater {
  public:
    using Sink = std::function<bool(const char* data, std::size_t length, std::uint64_t offset)>;

    StreamInflater() : piece_(kChunkBytes) {}

    void Start(const ZipListing& entry);
    // False when the data is damaged or more than the entry declares, or when sink returned false.
    bool Feed(const char* data, std::size_t length, const Sink& sink);
    // After the last chunk: the stream ended with the declared size and CRC.
    bool Complete() const;
    std::uint64_t size() const { return produced_; }

  private:
    bool Give(const char* data, std::size_t length, const Sink& sink);

    const ZipListing* entry_ = nullptr;
    inflate_state state_{};
    std::vector<char> piece_;
    std::uint64_t produced_ = 0;
    std::uint32_t crc_ = 0;
};

}  // namespace zov::rar
