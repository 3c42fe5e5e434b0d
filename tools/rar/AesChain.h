#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "tools/rar/Sha1Keys.h"
#include "tools/rar/WinZipAes.h"

namespace zov::rar {

// One large encrypted entry whose blocks are handed in by several threads in any order. A block is
// enciphered in place (writing) or deciphered into a copy (reading) as soon as the entry's keys and the
// block's offset in the entry are known, by whichever thread makes them known; nothing waits for another
// thread there. The authentication code takes the encrypted blocks one after the other, in their order, on
// a thread that holds no job (Seal), so that it runs beside the jobs rather than holding one up.
class AesChain {
  public:
    enum class Direction { Encrypt, Decrypt };

    static constexpr std::uint64_t kOffsetFromBlocksBefore = UINT64_MAX;

    struct Block {
        char* data;  // the plain bytes (writing) or the encrypted ones (reading)
        std::size_t length;
        char* plain;           // reading: where the deciphered copy goes (length bytes)
        std::uint64_t offset;  // in the entry's encrypted bytes, or kOffsetFromBlocksBefore
        bool ends;             // nothing after this block belongs to the entry; later blocks are left alone
    };

    explicit AesChain(Direction direction) : direction_(direction) {}
    AesChain(const AesChain&) = delete;
    AesChain& operator=(const AesChain&) = delete;

    // The entry's keys, once; the blocks that waited for them are done here, with the caller's cipher.
    void SetKeys(const AesKeys& keys, AesCounterMode& cipher);
    // After the first block is ready: the keys (their salt and password check go before the data).
    const AesKeys& keys() const { return keys_; }

    // Hands in block index; its bytes stay where they are until the block is sealed.
    void HandIn(std::size_t index, const Block& block, AesCounterMode& cipher);
    // Takes the blocks that are ready into the authentication code, in order, unless another thread does.
    void Seal();

    // Waits until block index is enciphered (writing) or deciphered (reading); false when the cipher could
    // not be set up.
    bool WaitReady(std::size_t index);
    // Whether the chain is done with block index: sealed, or after the block that ends the entry.
    bool Sealed(std::size_t index);
    void WaitSealed(std::size_t index);
    // Waits until the block that ends the entry is sealed and gives the authentication code.
    void Finish(unsigned char code[HmacSha1::kBytes]);

  private:
    enum class State { Missing, Waiting, Claimed, Ready };
    struct Slot {
        Block block{};
        State state = State::Missing;
    };

    Slot& SlotOf(std::size_t index) { return slots_[index - sealed_]; }
    bool DoneWith(std::size_t index) const;
    void PlaceOffsets();
    void TransformWaiting(std::unique_lock<std::mutex>& lock, AesCounterMode& cipher);
    bool Transform(const Block& block, AesCounterMode& cipher) const;

    const Direction direction_;
    HmacSha1 mac_;  // the sealing thread's own

    std::mutex mutex_;
    std::condition_variable changed_;
    AesKeys keys_{};
    bool keysSet_ = false;
    bool failed_ = false;
    std::deque<Slot> slots_;  // blocks from sealed_ on
    std::size_t sealed_ = 0;  // blocks sealed
    std::size_t placed_ = 0;  // blocks whose offset the blocks before them gave
    std::uint64_t placedEnd_ = 0;
    std::size_t endIndex_ = SIZE_MAX;  // the block that ends the entry, once handed in
    bool ended_ = false;               // ... and sealed
    bool sealing_ = false;             // a thread is sealing
};

}  // namespace zov::rar
