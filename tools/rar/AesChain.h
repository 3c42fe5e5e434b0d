#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

#include "tools/rar/Sha1Keys.h"
#include "tools/rar/WinZipAes.h"

namespace zov::rar {

// One large encrypted entry whose blocks are handed in by several threads in any order. The blocks are
// sealed in their order, one after the other: enciphered and authenticated when writing, only authenticated
// when reading (the reading threads decipher their own copies meanwhile). Whichever thread hands in the
// block that is next seals it and every block after it that is waiting, so no thread ever waits for another
// to seal; the user of the results waits for the block it needs.
class AesChain {
  public:
    enum class Direction { Encrypt, Authenticate };

    // False from ok() when the cipher could not be set up.
    AesChain(const AesKeys& keys, Direction direction);

    const AesKeys& keys() const { return keys_; }

    bool ok() const { return ok_; }

    // Hands in block index (its bytes stay where they are until the block is sealed). ends: nothing after
    // this block belongs to the entry; later blocks are then left as they are.
    void HandIn(std::size_t index, char* data, std::size_t length, bool ends);
    // Waits until every block up to index is sealed.
    void WaitSealed(std::size_t index);
    // The authentication code, once every block is sealed.
    void Finish(unsigned char code[HmacSha1::kBytes]);

  private:
    struct Block {
        char* data;
        std::size_t length;
        bool ends;
    };

    void Seal(const Block& block);

    const AesKeys keys_;
    const Direction direction_;
    AesCounterMode cipher_;
    HmacSha1 mac_;
    bool ok_ = false;
    bool ended_ = false;  // the sealing thread's own

    std::mutex mutex_;
    std::condition_variable sealed_;
    std::map<std::size_t, Block> waiting_;
    std::size_t next_ = 0;  // the next block to seal
    bool sealing_ = false;  // a thread is sealing
};

}  // namespace zov::rar
